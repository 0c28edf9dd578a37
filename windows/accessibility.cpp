#include "windows/accessibility.h"

#include <oleacc.h>

#include "platform/win32/library_function.h"

namespace glyphary::windows {

namespace {

using platform::LibraryFunction;

// The functions of oleacc, oleaut32 and ole32 the answers need, loaded on
// the first question. Each is null when its DLL or export is missing.
struct AccessibilityLibrary {
  using CreateStdObject = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
  using ResultFromObject = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
  using AllocString = BSTR(WINAPI*)(const OLECHAR*);
  using InitializeCom = HRESULT(WINAPI*)(void*, DWORD);

  CreateStdObject create_std_object;
  ResultFromObject result_from_object;
  AllocString alloc_string;

  AccessibilityLibrary()
      : create_std_object(LibraryFunction<CreateStdObject>(L"oleacc.dll", "CreateStdAccessibleObject")),
        result_from_object(LibraryFunction<ResultFromObject>(L"oleacc.dll", "LresultFromObject")),
        alloc_string(LibraryFunction<AllocString>(L"oleaut32.dll", "SysAllocString")) {
    // The object is handed out across processes, which needs COM on this
    // thread: the windows' own thread, a single-threaded apartment, so that
    // the clients' calls arrive here between the windows' messages.
    const auto initialize = LibraryFunction<InitializeCom>(L"ole32.dll", "CoInitializeEx");
    if (initialize != nullptr) (void)initialize(nullptr, COINIT_APARTMENTTHREADED);
  }
  bool usable() const {
    return create_std_object != nullptr && result_from_object != nullptr && alloc_string != nullptr;
  }
};

const AccessibilityLibrary& Library() {
  static const AccessibilityLibrary library;
  return library;
}

#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
constexpr DWORD EVENT_OBJECT_LIVEREGIONCHANGED = 0x8019;  // Windows 8 and later
#endif

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// A COM object is deleted by its own Release, never through the interface:
// the interface needs no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The system's accessible object for a window, with the window's own name,
// description and role where it gives them.
class AnnotatedObject final : public IAccessible {
 public:
  AnnotatedObject(IAccessible* inner, HWND window, LONG object_id)
      : inner_(inner), window_(window), object_id_(object_id) {}
  AnnotatedObject(const AnnotatedObject&) = delete;
  AnnotatedObject& operator=(const AnnotatedObject&) = delete;

  // IUnknown. The interfaces the system's object has besides (the list of
  // children, the window behind it) are its own.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    return inner_->QueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return inner_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return inner_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return inner_->GetIDsOfNames(iid, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    return inner_->Invoke(id, iid, locale, flags, parameters, result, exception, argument_error);
  }

  // What the window says of itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (Text(child, kSpokenName, name)) return S_OK;
    return inner_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (Text(child, kSpokenDescription, description)) return S_OK;
    return inner_->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    SpokenAnswer answer;
    if (role != nullptr && Ask(child, kSpokenRole, answer)) {
      role->vt = VT_I4;
      role->lVal = answer.role;
      return S_OK;
    }
    return inner_->get_accRole(child, role);
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = inner_->get_accState(child, state);
    SpokenAnswer answer;
    if (state == nullptr || !Ask(child, kSpokenState, answer)) return result;
    const long known = SUCCEEDED(result) && state->vt == VT_I4 ? state->lVal : 0;
    state->vt = VT_I4;
    state->lVal = known | answer.state;
    return S_OK;
  }

  // The rest as the system's object has it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return inner_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return inner_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return inner_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return inner_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return inner_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return inner_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return inner_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return inner_->get_accFocus(child); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return inner_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return inner_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
    return inner_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return inner_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return inner_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return inner_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return inner_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return inner_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return inner_->put_accValue(child, value);
  }

 private:
  ~AnnotatedObject() { inner_->Release(); }

  // Asks the window, when the question is about the object itself and the
  // window is still there. Clients call on this thread (see Library), so
  // the message goes straight to the window's procedure.
  bool Ask(const VARIANT& child, SpokenAspect aspect, SpokenAnswer& answer) const {
    answer.object_id = object_id_;
    return IsSelf(child) && IsWindow(window_) &&
           SendMessageW(window_, kSpokenMessage, aspect, reinterpret_cast<LPARAM>(&answer)) != 0;
  }
  bool Text(const VARIANT& child, SpokenAspect aspect, BSTR* text) const {
    SpokenAnswer answer;
    if (text == nullptr || !Ask(child, aspect, answer)) return false;
    *text = Library().alloc_string(answer.text);
    return true;
  }

  IAccessible* inner_;
  HWND window_;
  LONG object_id_;  // the window as a whole, or its client area
  LONG references_ = 1;
};
#pragma GCC diagnostic pop

}  // namespace

void SetSpokenText(SpokenAnswer& answer, const wchar_t* text) {
  constexpr std::size_t kRoom = sizeof(answer.text) / sizeof(answer.text[0]) - 1;
  std::size_t at = 0;
  for (; text != nullptr && text[at] != L'\0' && at < kRoom; ++at) answer.text[at] = text[at];
  answer.text[at] = L'\0';
}

void SetSpokenTextOf(SpokenAnswer& answer, HWND window) {
  GetWindowTextW(window, answer.text, static_cast<int>(sizeof(answer.text) / sizeof(answer.text[0])));
}

LRESULT AnswerGetObject(HWND window, WPARAM wparam, LPARAM lparam) {
  const LONG object_id = static_cast<LONG>(lparam);
  if (object_id != OBJID_CLIENT && object_id != OBJID_WINDOW) return 0;
  const AccessibilityLibrary& library = Library();
  if (!library.usable()) return 0;
  IAccessible* inner = nullptr;
  if (FAILED(library.create_std_object(window, object_id, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&inner))) ||
      inner == nullptr) {
    return 0;
  }
  auto* annotated = new AnnotatedObject(inner, window, object_id);
  const LRESULT result = library.result_from_object(__uuidof(IAccessible), wparam, annotated);
  annotated->Release();
  return result > 0 ? result : 0;
}

void AnnounceTextChange(HWND control) {
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, control, OBJID_CLIENT, CHILDID_SELF);
}

}  // namespace glyphary::windows
