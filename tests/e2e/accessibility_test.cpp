// The installer as a screen reader meets it: each window's accessible
// objects read through oleacc from outside the process, as an assistive
// program reads them, and the WinEvents the program raises, read at the
// moment they arrive. What is read is printed, so that a run shows it.
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "tests/e2e/e2e_test.h"

#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
#define EVENT_OBJECT_LIVEREGIONCHANGED 0x8019
#endif

namespace glyphary::e2e {
namespace {

// mingw's oleacc import library takes oleacc.dll's exported IID_IAccessible
// for a function and links its thunk in its place; the GUID the header
// declares with the interface is the real one.
const IID kIAccessible = __uuidof(IAccessible);

constexpr wchar_t kRestartMessage[] =
    L"In order for the changes to take affect you must restart your computer.";

// One accessible object as read: what a screen reader says about it.
struct Node {
  long role = 0, state = 0;  // 0: not read
  std::wstring name, description, value;
  std::vector<Node> children;
};

std::wstring Take(BSTR text) {
  std::wstring taken = text != nullptr ? text : L"";
  SysFreeString(text);
  return taken;
}

// Name and description of `object`'s element `child`.
void ReadTexts(IAccessible* object, VARIANT child, std::wstring* name, std::wstring* description) {
  BSTR text = nullptr;
  if (SUCCEEDED(object->get_accName(child, &text))) *name = Take(text);
  text = nullptr;
  if (SUCCEEDED(object->get_accDescription(child, &text))) *description = Take(text);
}

Node ReadWindow(HWND window, LONG object_id);

// The object itself (CHILDID_SELF) or one of its simple elements; with its
// children, in the order the object lists them, when `descend`.
Node ReadObject(IAccessible* object, long child_id, HWND window, bool descend) {
  Node node;
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = child_id;
  VARIANT read{};
  if (SUCCEEDED(object->get_accRole(self, &read)) && read.vt == VT_I4) node.role = read.lVal;
  VariantClear(&read);
  if (SUCCEEDED(object->get_accState(self, &read)) && read.vt == VT_I4) node.state = read.lVal;
  VariantClear(&read);
  ReadTexts(object, self, &node.name, &node.description);
  BSTR text = nullptr;
  if (SUCCEEDED(object->get_accValue(self, &text))) node.value = Take(text);
  long count = 0, listed = 0;
  if (!descend || child_id != CHILDID_SELF || FAILED(object->get_accChildCount(&count)) ||
      count <= 0) {
    return node;
  }
  std::vector<VARIANT> children(static_cast<size_t>(count));
  if (FAILED(AccessibleChildren(object, 0, count, children.data(), &listed))) return node;
  for (long i = 0; i < listed; ++i) {
    VARIANT& child = children[static_cast<size_t>(i)];
    IAccessible* element = nullptr;
    if (child.vt == VT_I4) {
      node.children.push_back(ReadObject(object, child.lVal, window, false));
    } else if (child.vt == VT_DISPATCH && child.pdispVal != nullptr &&
               SUCCEEDED(child.pdispVal->QueryInterface(kIAccessible,
                                                        reinterpret_cast<void**>(&element)))) {
      // A child window is listed as its window object, which Wine leaves
      // unanswered: its client object is what describes it.
      HWND own = nullptr;
      WindowFromAccessibleObject(element, &own);
      node.children.push_back(own != nullptr && own != window
                                  ? ReadWindow(own, OBJID_CLIENT)
                                  : ReadObject(element, CHILDID_SELF, window, true));
      element->Release();
    }
    VariantClear(&child);
  }
  return node;
}

// The window's client object with everything below it, or its window
// object alone (what announces the window: its role and name).
Node ReadWindow(HWND window, LONG object_id) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(object_id), kIAccessible,
                                        reinterpret_cast<void**>(&object)))) {
    return Node();
  }
  const Node node = ReadObject(object, CHILDID_SELF, window, object_id == OBJID_CLIENT);
  object->Release();
  return node;
}

std::string Hex(HRESULT hr) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lx", static_cast<unsigned long>(hr));
  return text;
}

// Quoted, on one line, cut after `limit` characters.
std::string Shown(const std::wstring& text, size_t limit = 40) {
  std::string shown;
  for (wchar_t c : text.substr(0, limit)) {
    if (c == L'\n')
      shown += "\\n";
    else if (c != L'\r')
      shown += Narrow(std::wstring(1, c));
  }
  return "\"" + shown + (text.size() > limit ? "...\"" : "\"");
}

void Print(const Node& node, int depth = 1) {
  wchar_t role[64] = L"(no role)";
  if (node.role != 0) GetRoleTextW(static_cast<DWORD>(node.role), role, 64);
  std::cout << std::string(static_cast<size_t>(depth) * 2, ' ') << node.role << " "
            << Narrow(role) << " name " << Shown(node.name, 60);
  if (!node.description.empty()) std::cout << " desc " << Shown(node.description);
  if (!node.value.empty()) std::cout << " value " << Shown(node.value);
  if (node.state & STATE_SYSTEM_FOCUSED) std::cout << " focused";
  if (node.state & STATE_SYSTEM_CHECKED) std::cout << " checked";
  std::cout << "\n";
  for (const Node& child : node.children) Print(child, depth + 1);
}

// A window as a screen reader meets it: its window object, then its client
// with everything in it.
void PrintWindow(const char* what, HWND window, const Node& frame, const Node& client) {
  std::cout << what << " (" << Narrow(ClassOf(window)) << ", window text "
            << Shown(CaptionOf(window)) << "), window object, then client:\n";
  Print(frame);
  Print(client);
}

// Role and name of each node, for comparisons that show both sides.
std::vector<std::string> Seen(const std::vector<Node>& nodes) {
  std::vector<std::string> seen;
  for (const Node& node : nodes)
    seen.push_back(std::to_string(node.role) + " " + Narrow(node.name));
  return seen;
}

// A control as the printed events name it: the class of its top-level
// window and its control ID.
std::string Where(const wchar_t* window_class, int id) {
  return Narrow(window_class) + "/" + std::to_string(id);
}
std::string Where(HWND window) {
  HWND root = GetAncestor(window, GA_ROOT);
  if (root == nullptr) return "(gone)";
  return root == window ? Narrow(ClassOf(root)) : Where(ClassOf(root).c_str(), GetDlgCtrlID(window));
}

constexpr std::pair<DWORD, const char*> kEvents[] = {
    {EVENT_OBJECT_FOCUS, "FOCUS"},
    {EVENT_OBJECT_NAMECHANGE, "NAMECHANGE"},
    {EVENT_OBJECT_DESCRIPTIONCHANGE, "DESCRIPTIONCHANGE"},
    {EVENT_OBJECT_LIVEREGIONCHANGED, "LIVEREGIONCHANGED"},
};
const char* EventName(DWORD event) {
  for (const auto& [id, name] : kEvents) {
    if (id == event) return name;
  }
  return nullptr;
}

// One WinEvent of the installer, with what its object said when it came.
struct Heard {
  DWORD time;  // when it was raised, in ms of the system's clock
  DWORD event;
  std::string where;
  LONG object, child;
  HRESULT got;  // AccessibleObjectFromEvent's answer
  std::wstring name, description;
};

// Listens out of context to the events above from `installer`'s process,
// from before it starts. The callback runs while this thread serves its
// message queue (WaitFor does), and reads the object as a screen reader
// does, waiting for the installer to answer; events that come meanwhile
// are heard inside that wait, so they are listed before it.
class Listener {
 public:
  explicit Listener(const Installer& installer) : installer_(installer) {
    listener_ = this;
    hook_ = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_LIVEREGIONCHANGED, nullptr, &Hear,
                            0, 0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
  }
  ~Listener() {
    if (hook_ != nullptr) UnhookWinEvent(hook_);
    listener_ = nullptr;
  }
  bool Hooked() const { return hook_ != nullptr; }

  // The events `event` on the client object of the control at `where`.
  std::vector<Heard> On(DWORD event, const std::string& where) const {
    std::vector<Heard> found;
    std::copy_if(heard_.begin(), heard_.end(), std::back_inserter(found), [&](const Heard& h) {
      return h.event == event && h.where == where && h.object == OBJID_CLIENT &&
             h.child == CHILDID_SELF;
    });
    return found;
  }

  void Print() const {
    std::cout << "events, as their reading ended (+ms since the first was raised):\n";
    DWORD first = heard_.empty() ? 0 : heard_.front().time;
    for (const Heard& h : heard_) first = std::min(first, h.time);
    for (const Heard& h : heard_) {
      std::cout << "  +" << h.time - first << " " << EventName(h.event) << " " << h.where
                << " object " << h.object << " child " << h.child << ": ";
      if (FAILED(h.got))
        std::cout << "(not read, " << Hex(h.got) << ")\n";
      else
        std::cout << "name " << Shown(h.name) << " desc " << Shown(h.description, 80) << "\n";
    }
  }

 private:
  static void CALLBACK Hear(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                            DWORD thread, DWORD time) {
    if (listener_ == nullptr || EventName(event) == nullptr) return;
    HANDLE handle = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, thread);
    const DWORD pid = handle != nullptr ? GetProcessIdOfThread(handle) : 0;
    if (handle != nullptr) CloseHandle(handle);
    if (pid == 0 || pid != listener_->installer_.pid()) return;
    Heard heard{time, event, Where(window), object, child, E_FAIL, L"", L""};
    IAccessible* source = nullptr;
    VARIANT element{};
    heard.got = AccessibleObjectFromEvent(window, static_cast<DWORD>(object),
                                          static_cast<DWORD>(child), &source, &element);
    if (SUCCEEDED(heard.got) && source != nullptr) {
      ReadTexts(source, element, &heard.name, &heard.description);
      source->Release();
    }
    VariantClear(&element);
    listener_->heard_.push_back(heard);
  }

  static inline Listener* listener_ = nullptr;
  const Installer& installer_;
  HWINEVENTHOOK hook_ = nullptr;
  std::vector<Heard> heard_;
};

// Announces a screen reader, as one does when it starts, and puts the flag
// back as it was when the test ends, however it ends.
class ScreenReaderAnnounced {
 public:
  ScreenReaderAnnounced() {
    SystemParametersInfoW(SPI_GETSCREENREADER, 0, &before_, 0);
    SystemParametersInfoW(SPI_SETSCREENREADER, TRUE, nullptr, SPIF_SENDCHANGE);
  }
  ~ScreenReaderAnnounced() {
    SystemParametersInfoW(SPI_SETSCREENREADER, before_, nullptr, SPIF_SENDCHANGE);
  }

 private:
  BOOL before_ = FALSE;
};

class Accessibility : public InstallerTest {
 protected:
  // Objects another process hands over through WM_GETOBJECT come by COM.
  void SetUp() override {
    com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    InstallerTest::SetUp();
  }
  void TearDown() override {
    InstallerTest::TearDown();
    if (com_) CoUninitialize();
  }
  bool com_ = false;
};

TEST_F(Accessibility, TheAgreementAndTheBackdropReadInScreenOrderWithTheirNames) {
  Installer& installer = Copy();
  Listener listener(installer);
  ASSERT_TRUE(listener.Hooked());
  StartToAgreement(installer);
  ASSERT_NE(splash_, nullptr);
  ASSERT_NE(agreement_, nullptr);
  const Node backdrop = ReadWindow(splash_, OBJID_CLIENT);
  const Node agreement_window = ReadWindow(agreement_, OBJID_WINDOW);
  const Node agreement = ReadWindow(agreement_, OBJID_CLIENT);
  WaitFor([] { return false; }, 500);  // events still on their way
  PrintWindow("backdrop", splash_, ReadWindow(splash_, OBJID_WINDOW), backdrop);
  PrintWindow("agreement", agreement_, agreement_window, agreement);
  listener.Print();

  EXPECT_TRUE(installer.HasLoaded(L"oleacc.dll")) << "loaded once asked";
  EXPECT_EQ(Narrow(backdrop.name), "Glyphary Installer");
  // Wine annotates nothing, so the backdrop hands out its own object: one
  // COM object, whose IDispatch reaches its own name (the system's object
  // would say the caption, "Form1"), and which does not hand out the
  // system's object's other interfaces as its own.
  IAccessible* object = nullptr;
  ASSERT_HRESULT_SUCCEEDED(AccessibleObjectFromWindow(splash_, OBJID_CLIENT, kIAccessible,
                                                      reinterpret_cast<void**>(&object)));
  VARIANT self{}, name{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  DISPPARAMS parameters{&self, nullptr, 1, 0};
  EXPECT_HRESULT_SUCCEEDED(object->Invoke(DISPID_ACC_NAME, IID_NULL, LOCALE_USER_DEFAULT,
                                          DISPATCH_PROPERTYGET, &parameters, &name, nullptr, nullptr));
  EXPECT_EQ(name.vt == VT_BSTR ? Narrow(name.bstrVal) : "(no text)", "Glyphary Installer");
  VariantClear(&name);
  void* enumeration = nullptr;
  EXPECT_EQ(object->QueryInterface(__uuidof(IEnumVARIANT), &enumeration), E_NOINTERFACE);
  object->Release();
  EXPECT_EQ(CaptionOf(splash_), L"Form1");
  EXPECT_EQ(Seen(backdrop.children), std::vector<std::string>{"41 Glyphary Installer"});

  EXPECT_EQ(Seen({agreement_window}),
            std::vector<std::string>{"18 Glyphary Installer: License Agreement"});
  EXPECT_EQ(Narrow(agreement.name), "Glyphary Installer: License Agreement");
  // In the order of the Tab key.
  EXPECT_EQ(Seen(agreement.children),
            (std::vector<std::string>{"42 License agreement", "43 Cancel", "43 Accept"}));
  const std::wstring shipped = AgreementText();
  ASSERT_EQ(Narrow(shipped.substr(0, 17)), "LICENSE AGREEMENT");
  EXPECT_TRUE(!agreement.children.empty() && agreement.children[0].value == shipped)
      << "the first child's value is not the agreement text";
  EXPECT_FALSE(
      listener.On(EVENT_OBJECT_FOCUS, Where(kAgreement, AgreementWindow::kAgreementText)).empty())
      << "the text box's focus was not heard";
}

// The progress window as read while it was up: named, its status said as
// its description and as the one label inside its frame.
void ExpectProgress(const Node& window, const Node& client) {
  EXPECT_EQ(Seen({window}), std::vector<std::string>{"18 Glyphary Installer: Installing"});
  EXPECT_EQ(Narrow(client.name), "Glyphary Installer: Installing");
  EXPECT_EQ(Narrow(client.description), "Editing Registry...");
  ASSERT_EQ(client.children.size(), 1u);
  EXPECT_EQ(client.children[0].role, ROLE_SYSTEM_GROUPING);
  EXPECT_EQ(Seen(client.children[0].children), std::vector<std::string>{"41 Editing Registry..."});
}

// The finish window: named, saying why it asks for a restart, and its
// controls in the order of the Tab key.
void ExpectFinish(const Node& window, const Node& client) {
  EXPECT_EQ(Seen({window}),
            std::vector<std::string>{"18 Glyphary Installer: Installation complete"});
  EXPECT_EQ(Narrow(client.name), "Glyphary Installer: Installation complete");
  EXPECT_EQ(client.description, kRestartMessage);
  const std::vector<Node>& controls = client.children;
  ASSERT_EQ(controls.size(), 3u) << "the frame, the check box and Finish";
  EXPECT_EQ(controls[0].role, ROLE_SYSTEM_GROUPING);
  EXPECT_EQ(Seen(controls[0].children), std::vector<std::string>{"41 " + Narrow(kRestartMessage)});
  EXPECT_EQ(Seen({controls[1], controls[2]}),
            (std::vector<std::string>{"44 Restart Computer", "43 Finish"}));
  EXPECT_TRUE(controls[1].state & STATE_SYSTEM_CHECKED);
  EXPECT_EQ(controls[1].description, kRestartMessage);
}

TEST_F(Accessibility, TheProgressIsHeardAndTheFinishWindowSaysWhyItAsksForARestart) {
  ScreenReaderAnnounced screen_reader;
  BOOL announced = FALSE;
  SystemParametersInfoW(SPI_GETSCREENREADER, 0, &announced, 0);
  ASSERT_TRUE(announced) << "the screen reader flag did not stay set";
  Installer& installer = Copy();
  Listener listener(installer);
  ASSERT_TRUE(listener.Hooked());
  StartToAgreement(installer);
  ASSERT_NE(agreement_, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == agreement_; }, 10000));
  ASSERT_TRUE(ClickCentre(Child(agreement_, AgreementWindow::kAccept)));

  // Caught as a screen reader catches it: while it is up, without holding it.
  HWND progress = nullptr;
  WaitFor([&] {
    progress = installer.Visible(kProgress);
    return progress != nullptr || installer.Visible(kFinish) != nullptr || !installer.Running();
  });
  Node progress_window, progress_client;
  if (progress != nullptr) {
    progress_window = ReadWindow(progress, OBJID_WINDOW);
    progress_client = ReadWindow(progress, OBJID_CLIENT);
    PrintWindow("progress", progress, progress_window, progress_client);
    Screenshot("progress");
  } else {
    std::cout << "progress: not seen up\n";
  }
  HWND finish = installer.WaitForVisible(kFinish);
  ASSERT_NE(finish, nullptr) << "no finish window";
  EXPECT_TRUE(Settle(finish));
  const Node finish_window = ReadWindow(finish, OBJID_WINDOW);
  const Node finish_client = ReadWindow(finish, OBJID_CLIENT);
  WaitFor([] { return false; }, 500);
  PrintWindow("finish", finish, finish_window, finish_client);
  listener.Print();

  EXPECT_NE(progress, nullptr) << "the progress window was not seen up";
  if (progress != nullptr) ExpectProgress(progress_window, progress_client);
  const std::string status = Where(kProgress, ProgressWindow::kStatus);
  for (DWORD event : {EVENT_OBJECT_LIVEREGIONCHANGED, EVENT_OBJECT_NAMECHANGE}) {
    const std::vector<Heard> heard = listener.On(event, status);
    EXPECT_TRUE(std::any_of(heard.begin(), heard.end(),
                            [](const Heard& h) { return h.name == L"Editing Registry..."; }))
        << EventName(event) << " on the status was not heard with its text";
  }

  ExpectFinish(finish_window, finish_client);
  // What a screen reader says as the window opens: the focused check box,
  // and why it is there.
  const std::vector<Heard> focus =
      listener.On(EVENT_OBJECT_FOCUS, Where(kFinish, FinishWindow::kRestart));
  EXPECT_TRUE(std::any_of(focus.begin(), focus.end(), [](const Heard& h) {
    return h.name == L"Restart Computer" && h.description == kRestartMessage;
  })) << "the check box's focus was not heard with its reason";
}

// The host's windows and controls that answer WM_GETOBJECT themselves, asked
// as Active Accessibility and UI Automation (its root object, -25) ask.
std::vector<std::string> Answering(DWORD pid) {
  std::vector<HWND> windows = TopLevelWindows(pid);
  for (HWND top : TopLevelWindows(pid)) {
    for (HWND c = GetWindow(top, GW_CHILD); c != nullptr; c = GetNextWindow(c, GW_HWNDNEXT)) {
      windows.push_back(c);
      for (HWND held = GetWindow(c, GW_CHILD); held != nullptr; held = GetNextWindow(held, GW_HWNDNEXT)) {
        windows.push_back(held);
      }
    }
  }
  std::vector<std::string> answering;
  for (HWND window : windows) {
    for (LONG object : {OBJID_CLIENT, OBJID_WINDOW, -25L}) {
      DWORD_PTR answer = 0;
      SendMessageTimeoutW(window, WM_GETOBJECT, 0, object, SMTO_ABORTIFHUNG, 5000, &answer);
      if (answer != 0) answering.push_back(Where(window) + " " + std::to_string(object));
    }
  }
  return answering;
}

// Where the system annotates (the host's stand-in takes the place of
// Windows' service), no window of ours answers WM_GETOBJECT: clients get the
// system's own objects, UI Automation its own providers for the system's
// controls, with the annotations: our names, descriptions and roles, the
// status a polite live region. Every annotated window is cleared before it
// goes.
TEST(AccessibilityAnnotated, TheSystemsObjectsCarryTheAnnotationsAndTheWindowsAnswerNothing) {
  const std::wstring printed = WorkFolder() + L"\\annotations.txt";
  Process host;
  ASSERT_EQ(host.Launch(BesideDriver(L"e2e_contrast_host.exe"), L"/annotate", L"", printed), L"");
  HWND agreement = nullptr, finish = nullptr;
  ASSERT_TRUE(WaitFor([&] { return (agreement = VisibleWindow(host.pid(), kAgreement)) != nullptr; }));
  EXPECT_EQ(Answering(host.pid()), std::vector<std::string>{});
  ASSERT_TRUE(ClickCentre(Child(agreement, AgreementWindow::kAccept)));
  ASSERT_TRUE(WaitFor([&] { return (finish = VisibleWindow(host.pid(), kFinish)) != nullptr; }));
  EXPECT_EQ(Answering(host.pid()), std::vector<std::string>{});
  WaitFor([] { return false; }, 600);  // a press counts once the window has been seen
  ASSERT_TRUE(ClickCentre(Child(finish, FinishWindow::kFinish)));
  DWORD code = 1;
  ASSERT_TRUE(host.WaitForExit(10000, &code));
  EXPECT_EQ(code, 0u);

  const std::vector<char> bytes = ReadWholeFile(printed);
  std::vector<std::string> lines(1);
  for (char c : bytes) c == '\n' ? (void)lines.emplace_back() : lines.back().push_back(c);
  lines.pop_back();
  std::cout << "annotations:\n";
  for (const std::string& line : lines) std::cout << "  " << line << "\n";
  auto has = [&](const std::string& wanted) { return std::count(lines.begin(), lines.end(), wanted) > 0; };
  for (const std::string& wanted : std::vector<std::string>{
           "set Glyphary.Agreement window name Glyphary Installer: License Agreement",
           "set Glyphary.Agreement window role 18",
           "set " + Where(kAgreement, AgreementWindow::kAgreementText) + " client name License agreement",
           "set " + Where(kSplash, SplashWindow::kTitle) + " client role 41",
           "set " + Where(kProgress, ProgressWindow::kStatus) + " client live 1",
           "set Glyphary.Progress client description Editing Registry...",
           "set " + Where(kFinish, FinishWindow::kRestart) + " client description " + Narrow(kRestartMessage)}) {
    EXPECT_TRUE(has(wanted)) << wanted;
  }
  for (const std::string& line : lines) {
    if (line.rfind("set ", 0) != 0) continue;
    // Roles only for our windows, labels and frames: the system's controls
    // (text, push button, check button) keep the roles the system gives them.
    const size_t role = line.find(" role ");
    if (role != std::string::npos) {
      EXPECT_LT(std::stoi(line.substr(role + 6)), 42) << line;
    }
    // What is annotated is cleared while its window stands.
    const std::string object = line.substr(4, line.find(' ', line.find(' ', 4) + 1) - 4);
    EXPECT_TRUE(has("clear " + object + " name description role live")) << object;
  }
  EXPECT_EQ(lines.empty() ? "" : lines.back(), "released");
}

}  // namespace
}  // namespace glyphary::e2e
