#include "windows/runtime/runtime.h"

#include "base/decimal.h"
#include "base/fixed_list.h"
#include "windows/runtime/form.h"

namespace glyphary::windows::runtime {

namespace {

constexpr wchar_t kBoxTitle[] = L"Glyphary Installer";

HINSTANCE g_instance = nullptr;
int g_dpi = 0;
int g_live_windows = 0;
bool g_quiet = false;

// Input held back while the program is busy (see HoldInput).
bool g_input_held = false;
bool g_input_accepted = false;  // AcceptInput has run: its moment below counts
DWORD g_input_accepted_at = 0;

FixedList<Form*, 4>& Forms() {
  static FixedList<Form*, 4> forms;
  return forms;
}

// Keys the forms handle themselves: Tab moves the focus by tab index, and
// no window has a default or cancel button, so Enter and Esc press nothing.
bool HandleFormKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_CHAR) return false;
  Form* form = FormOf(msg.hwnd);
  if (form == nullptr) return false;
  if (msg.wParam == VK_TAB) {
    if (msg.message == WM_KEYDOWN) form->MoveFocus(GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
}

bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Keyboard and mouse input given while input is held, or stamped before it
// was accepted again, was meant for a window that is gone. "Before" means
// up to a minute before (and in the same tick): the age is taken modulo the
// tick count's wrap, so that input stamped afterwards, and a message that
// carries no real time stamp, are never taken for stale.
bool IsStaleInput(const MSG& msg) {
  constexpr DWORD kStaleSpan = 60000;  // ms
  if (!IsUserInput(msg.message)) return false;
  if (g_input_held) return true;
  return g_input_accepted && g_input_accepted_at - msg.time < kStaleSpan;
}

}  // namespace

void HoldInput() { g_input_held = true; }

void AcceptInput() {
  g_input_held = false;
  g_input_accepted = true;
  g_input_accepted_at = GetTickCount();
  // What the system has queued for this thread by now is stale as a whole.
  MSG stale{};
  while (PeekMessageW(&stale, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&stale, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

void SetInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE Instance() { return g_instance != nullptr ? g_instance : GetModuleHandleW(nullptr); }

int Dpi() {
  if (g_dpi == 0) {
    HDC screen = GetDC(nullptr);
    g_dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    if (g_dpi <= 0) g_dpi = 96;
  }
  return g_dpi;
}

int Run() {
  // The loop ends on the WM_QUIT that the last window's destruction posts,
  // whose code is the program's exit code.
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsStaleInput(msg) || HandleFormKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 1;
}

void End(int exit_code) {
  g_quiet = true;
  for (Form* form : Forms()) form->Unload();
  ExitProcess(static_cast<UINT>(exit_code));
}

WideText ErrorBoxText(const Error& error) {
  WideText text(L"Run-time error '");
  AppendDecimal(text, error.Number());
  text.Append(L"':\n\n").Append(error.Description());
  if (!error.Path().empty()) text.Append(L"\n\n").Append(error.Path());
  if (!error.Advice().empty()) text.Append(L"\n\n").Append(error.Advice());
  return text;
}

void ReportError(const Error& error) {
  if (g_quiet) End(1);  // already ending or showing the box: no second box
  g_quiet = true;
  // Keys typed ahead (a Space, an Enter) would dismiss the box unread.
  AcceptInput();
  const WideText text = ErrorBoxText(error);
  MessageBoxW(nullptr, text.c_str(), kBoxTitle,
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
  End(1);
}

void ReportOutOfMemory() {
  g_quiet = true;
  MessageBoxW(nullptr, L"Run-time error '7':\n\nOut of memory", kBoxTitle,
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
  ExitProcess(1);
}

bool Quiet() { return g_quiet; }

void Enrol(Form* form) { (void)Forms().Add(form); }

Form* FormOf(HWND window) {
  if (window == nullptr) return nullptr;
  HWND root = GetAncestor(window, GA_ROOT);
  for (Form* form : Forms()) {
    if (form->hwnd() != nullptr && form->hwnd() == root) return form;
  }
  return nullptr;
}

void WindowCreated() { ++g_live_windows; }

void WindowDestroyed() {
  if (--g_live_windows == 0) PostQuitMessage(0);
}

}  // namespace glyphary::windows::runtime
