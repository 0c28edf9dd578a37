#include "windows/accessibility.h"

#include <oleacc.h>

#include "platform/win32/library_function.h"
#include "windows/window_base.h"

namespace glyphary::windows {

namespace {

using platform::LibraryFunction;

// The identifiers of Dynamic Annotation and UI Automation's live setting,
// as the SDK defines them (not all are in mingw-w64's import libraries).
constexpr GUID kAccPropServicesClass = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kAccPropServicesInterface = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kNameProperty = {0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};
constexpr GUID kDescriptionProperty = {0x4d48dfe4, 0xbd3f, 0x491f, {0xa6, 0x48, 0x49, 0x2d, 0x6f, 0x20, 0xc5, 0x88}};
constexpr GUID kRoleProperty = {0xcb905ff2, 0x7bd1, 0x4c05, {0xb3, 0xc8, 0xe6, 0xc2, 0x41, 0x36, 0x4d, 0x70}};
constexpr GUID kLiveSettingProperty = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr GUID kAnnotatedProperties[] = {kNameProperty, kDescriptionProperty, kRoleProperty, kLiveSettingProperty};

#ifndef EVENT_OBJECT_LIVEREGIONCHANGED
constexpr DWORD EVENT_OBJECT_LIVEREGIONCHANGED = 0x8019;  // Windows 8 and later
#endif
constexpr LONG kUiaRootObjectId = -25;  // UI Automation's first question

// The window property that holds a window's SpokenLink while objects
// handed out for it may ask it.
constexpr wchar_t kLinkProperty[] = L"Glyphary.SpokenLink";

// The COM, oleacc and oleaut32 functions used, loaded when first needed:
// ole32's when the apartment is joined, the others when the wrapper is
// first needed. Null while not loaded or missing. Used on the windows'
// thread only.
struct ComFunctions {
  HRESULT(WINAPI* initialize)(void*, DWORD);
  void(WINAPI* uninitialize)();
  HRESULT(WINAPI* create_instance)(REFCLSID, IUnknown*, DWORD, REFIID, void**);
  HRESULT(WINAPI* create_std_object)(HWND, LONG, REFIID, void**);
  LRESULT(WINAPI* result_from_object)(REFIID, WPARAM, IUnknown*);
  BSTR(WINAPI* alloc_string)(const OLECHAR*);
  HRESULT(WINAPI* variant_clear)(VARIANT*);
  HRESULT(WINAPI* load_type_lib)(const OLECHAR*, REGKIND, ITypeLib**);
};
ComFunctions com{};

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// What the objects handed out for a window hold instead of its handle: the
// window clears it when it goes, so that they never ask a handle that may
// by then be someone else's.
struct SpokenLink {
  HWND window;
  LONG references;
};

void ReleaseLink(SpokenLink* link) {
  if (--link->references == 0) delete link;
}

SpokenLink* LinkOf(HWND window) {
  auto* link = static_cast<SpokenLink*>(GetPropW(window, kLinkProperty));
  if (link == nullptr) {
    link = new SpokenLink{window, 1};  // the window's own reference
    if (!SetPropW(window, kLinkProperty, link)) {
      delete link;
      return nullptr;
    }
  }
  ++link->references;
  return link;
}

// A COM object is deleted by its own Release, never through the interface:
// the interface needs no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// The system's accessible object for one of our windows, with the window's
// own name, description, role and state where it gives them. It is one COM
// object of its own: it answers IUnknown, IDispatch, IAccessible and
// IOleWindow with itself and nothing else (the system's object's other
// interfaces would answer for another object), and its IDispatch goes
// through IAccessible's type information to its own methods. IOleWindow
// names the window, as the system's object does: without it
// WindowFromAccessibleObject walks up to the parent and names that.
class SpokenObject final : public IAccessible, public IOleWindow {
 public:
  SpokenObject(IAccessible* inner, SpokenLink* link, LONG object_id, ITypeInfo* type_info)
      : inner_(inner), link_(link), object_id_(object_id), type_info_(type_info) {
    if (type_info_ != nullptr) type_info_->AddRef();
  }
  SpokenObject(const SpokenObject&) = delete;
  SpokenObject& operator=(const SpokenObject&) = delete;

  // IUnknown.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    if (iid == __uuidof(IOleWindow)) {
      *object = static_cast<IOleWindow*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = type_info_ != nullptr ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (type_info_ == nullptr) return E_NOTIMPL;
    type_info_->AddRef();
    *info = type_info_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (type_info_ == nullptr) return E_NOTIMPL;
    return type_info_->GetIDsOfNames(names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (type_info_ == nullptr) return E_NOTIMPL;
    return type_info_->Invoke(static_cast<IAccessible*>(this), id, flags, parameters, result,
                              exception, argument_error);
  }

  // IOleWindow: the window, while it is there.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = link_->window;
    return *window != nullptr ? S_OK : E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // What the window says of itself.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Text(child, kSpokenName, name, &IAccessible::get_accName);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return Text(child, kSpokenDescription, description, &IAccessible::get_accDescription);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    SpokenAnswer answer;
    if (role == nullptr || !Ask(child, kSpokenRole, answer)) return inner_->get_accRole(child, role);
    role->vt = VT_I4;  // an [out] value: what the caller passed in is not ours to free
    role->lVal = answer.role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = inner_->get_accState(child, state);
    SpokenAnswer answer;
    if (state == nullptr || !Ask(child, kSpokenState, answer)) return result;
    long known = 0;
    if (SUCCEEDED(result)) {
      if (state->vt == VT_I4) known = state->lVal;
      else com.variant_clear(state);  // whatever else the system's object put there
    }
    state->vt = VT_I4;
    state->lVal = known | answer.state;
    return S_OK;
  }

  // The children: the system's object's own. Where it lists them only by
  // enumeration (Wine's client objects), they are taken from that
  // enumeration, which this object does not hand out itself.
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    const HRESULT result = inner_->get_accChild(child, object);
    if (SUCCEEDED(result) || object == nullptr || child.vt != VT_I4 || child.lVal <= 0) return result;
    IEnumVARIANT* children = nullptr;
    if (FAILED(inner_->QueryInterface(__uuidof(IEnumVARIANT), reinterpret_cast<void**>(&children)))) {
      return result;
    }
    VARIANT found;
    found.vt = VT_EMPTY;
    ULONG fetched = 0;
    HRESULT listed = children->Reset();
    if (SUCCEEDED(listed) && child.lVal > 1) listed = children->Skip(static_cast<ULONG>(child.lVal - 1));
    if (listed == S_OK) listed = children->Next(1, &found, &fetched);
    children->Release();
    if (listed != S_OK || fetched != 1) return result;
    if (found.vt == VT_DISPATCH && found.pdispVal != nullptr) {
      *object = found.pdispVal;  // its reference passes to the caller
      return S_OK;
    }
    com.variant_clear(&found);
    *object = nullptr;
    return S_FALSE;  // a simple element: no object of its own
  }

  // The rest as the system's object has it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return inner_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return inner_->get_accChildCount(count);
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
  ~SpokenObject() {
    inner_->Release();
    ReleaseLink(link_);
    if (type_info_ != nullptr) type_info_->Release();
  }

  // Asks the window, when the question is about the object itself and the
  // window is still there. Clients call on the windows' thread (its
  // apartment), so the message goes straight to the window's procedure.
  bool Ask(const VARIANT& child, SpokenAspect aspect, SpokenAnswer& answer) const {
    answer.object_id = object_id_;
    return IsSelf(child) && link_->window != nullptr &&
           SendMessageW(link_->window, kSpokenMessage, aspect, reinterpret_cast<LPARAM>(&answer)) != 0;
  }
  HRESULT Text(const VARIANT& child, SpokenAspect aspect, BSTR* text,
               HRESULT (STDMETHODCALLTYPE IAccessible::*system)(VARIANT, BSTR*)) {
    SpokenAnswer answer;
    if (text == nullptr || !Ask(child, aspect, answer)) return (inner_->*system)(child, text);
    *text = com.alloc_string(answer.text);
    return *text != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  IAccessible* inner_;
  SpokenLink* link_;
  LONG object_id_;  // the window as a whole, or its client area
  ITypeInfo* type_info_;
  LONG references_ = 1;
};
#pragma GCC diagnostic pop

// The windows of ours on this thread (the IME's window and message boxes
// are not asked).
BOOL CALLBACK AnnotateThreadWindow(HWND window, LPARAM accessibility) {
  if (WindowBase::IsOurs(window)) reinterpret_cast<Accessibility*>(accessibility)->Annotate(window);
  return TRUE;
}

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

void Accessibility::JoinApartment() {
  if (joined_) return;
  joined_ = true;
  com.initialize = LibraryFunction<decltype(com.initialize)>(L"ole32.dll", "CoInitializeEx");
  com.uninitialize = LibraryFunction<decltype(com.uninitialize)>(L"ole32.dll", "CoUninitialize");
  com.create_instance = LibraryFunction<decltype(com.create_instance)>(L"ole32.dll", "CoCreateInstance");
  // S_FALSE (joined already) is balanced as well; another apartment kind
  // (RPC_E_CHANGED_MODE) is not ours to leave.
  uninitialize_ = com.initialize != nullptr && com.uninitialize != nullptr &&
                  SUCCEEDED(com.initialize(nullptr, COINIT_APARTMENTTHREADED));
  BOOL screen_reader = FALSE;
  if (SystemParametersInfoW(SPI_GETSCREENREADER, 0, &screen_reader, 0) && screen_reader) {
    StartAnnotation();
  }
}

void Accessibility::LeaveApartment() {
  if (!joined_) return;
  if (service_ != nullptr) service_->Release();
  service_ = nullptr;
  if (type_info_ != nullptr) type_info_->Release();
  type_info_ = nullptr;
  if (uninitialize_) com.uninitialize();
  uninitialize_ = false;
  joined_ = false;
  state_ = State::kUntried;
}

void Accessibility::StartAnnotation() {
  if (state_ != State::kUntried || !joined_) return;
  state_ = State::kWrapping;
  IAccPropServices* service = nullptr;
  const HRESULT made =
      source_ != nullptr ? source_(&service)
      : com.create_instance != nullptr
          ? com.create_instance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER,
                                kAccPropServicesInterface, reinterpret_cast<void**>(&service))
          : E_NOTIMPL;
  if (FAILED(made) || service == nullptr) return;
  service_ = service;
  state_ = State::kAnnotating;
  EnumThreadWindows(GetCurrentThreadId(), &AnnotateThreadWindow, reinterpret_cast<LPARAM>(this));
}

void Accessibility::Annotate(HWND window) {
  if (!annotating()) return;
  bool failed = !AnnotateOne(window, OBJID_WINDOW) || !AnnotateOne(window, OBJID_CLIENT);
  for (HWND control = GetWindow(window, GW_CHILD); control != nullptr && !failed;
       control = GetWindow(control, GW_HWNDNEXT)) {
    failed = !AnnotateOne(control, OBJID_CLIENT);
    // A frame's controls.
    for (HWND held = GetWindow(control, GW_CHILD); held != nullptr && !failed;
         held = GetWindow(held, GW_HWNDNEXT)) {
      failed = !AnnotateOne(held, OBJID_CLIENT);
    }
  }
  if (!failed) return;
  // The service does not annotate (Wine's answers E_NOTIMPL): from now on
  // the windows answer for themselves.
  service_->Release();
  service_ = nullptr;
  state_ = State::kWrapping;
}

bool Accessibility::AnnotateOne(HWND window, LONG object_id) {
  const DWORD object = static_cast<DWORD>(object_id);
  SpokenAnswer answer;
  auto asked = [&](SpokenAspect aspect) {
    answer = SpokenAnswer();
    answer.object_id = object_id;
    return SendMessageW(window, kSpokenMessage, aspect, reinterpret_cast<LPARAM>(&answer)) != 0 &&
           !answer.system_knows;
  };
  auto number = [&](const GUID& property, long value) {
    VARIANT variant;
    variant.vt = VT_I4;
    variant.lVal = value;
    return service_->SetHwndProp(window, object, CHILDID_SELF, property, variant);
  };
  HRESULT result = S_OK;
  if (asked(kSpokenName)) result = service_->SetHwndPropStr(window, object, CHILDID_SELF, kNameProperty, answer.text);
  if (SUCCEEDED(result) && asked(kSpokenDescription)) {
    result = service_->SetHwndPropStr(window, object, CHILDID_SELF, kDescriptionProperty, answer.text);
  }
  if (SUCCEEDED(result) && asked(kSpokenRole)) result = number(kRoleProperty, answer.role);
  if (SUCCEEDED(result) && asked(kSpokenLive)) result = number(kLiveSettingProperty, answer.live);
  return SUCCEEDED(result);
}

LRESULT Accessibility::Answer(HWND window, WPARAM wparam, LPARAM lparam) {
  const LONG object_id = static_cast<LONG>(lparam);
  if (!joined_ || (object_id != OBJID_CLIENT && object_id != OBJID_WINDOW && object_id != kUiaRootObjectId)) {
    return 0;
  }
  StartAnnotation();
  if (state_ != State::kWrapping || object_id == kUiaRootObjectId || !LoadWrapping()) return 0;
  IAccessible* inner = nullptr;
  if (FAILED(com.create_std_object(window, object_id, __uuidof(IAccessible), reinterpret_cast<void**>(&inner))) ||
      inner == nullptr) {
    return 0;
  }
  SpokenLink* link = LinkOf(window);
  if (link == nullptr) {
    inner->Release();
    return 0;
  }
  auto* object = new SpokenObject(inner, link, object_id, type_info_);
  const LRESULT result = com.result_from_object(__uuidof(IAccessible), wparam, static_cast<IAccessible*>(object));
  object->Release();
  return result > 0 ? result : 0;
}

bool Accessibility::LoadWrapping() {
  if (!wrapping_loaded_) {
    wrapping_loaded_ = true;
    com.create_std_object =
        LibraryFunction<decltype(com.create_std_object)>(L"oleacc.dll", "CreateStdAccessibleObject");
    com.result_from_object = LibraryFunction<decltype(com.result_from_object)>(L"oleacc.dll", "LresultFromObject");
    com.alloc_string = LibraryFunction<decltype(com.alloc_string)>(L"oleaut32.dll", "SysAllocString");
    com.variant_clear = LibraryFunction<decltype(com.variant_clear)>(L"oleaut32.dll", "VariantClear");
    com.load_type_lib = LibraryFunction<decltype(com.load_type_lib)>(L"oleaut32.dll", "LoadTypeLibEx");
    // IAccessible's type information, from the type library in oleacc.dll
    // named by its System32 path. Without it the wrappers' IDispatch
    // answers E_NOTIMPL.
    wchar_t path[MAX_PATH + 16];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    ITypeLib* library = nullptr;
    if (com.load_type_lib != nullptr && length != 0 && length < MAX_PATH) {
      const wchar_t kName[] = L"\\oleacc.dll";
      for (UINT i = 0; i < sizeof(kName) / sizeof(kName[0]); ++i) path[length + i] = kName[i];
      if (SUCCEEDED(com.load_type_lib(path, REGKIND_NONE, &library)) && library != nullptr) {
        if (FAILED(library->GetTypeInfoOfGuid(__uuidof(IAccessible), &type_info_))) type_info_ = nullptr;
        library->Release();
      }
    }
  }
  return com.create_std_object != nullptr && com.result_from_object != nullptr &&
         com.alloc_string != nullptr && com.variant_clear != nullptr;
}

void Accessibility::AnnounceTextChange(HWND window, HWND control) {
  Annotate(window);
  NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, control, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(EVENT_OBJECT_LIVEREGIONCHANGED, control, OBJID_CLIENT, CHILDID_SELF);
  NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window, OBJID_CLIENT, CHILDID_SELF);
}

void Accessibility::WindowGone(HWND window) {
  if (annotating()) {
    constexpr int kCount = sizeof(kAnnotatedProperties) / sizeof(kAnnotatedProperties[0]);
    for (LONG object_id : {OBJID_WINDOW, OBJID_CLIENT}) {
      (void)service_->ClearHwndProps(window, static_cast<DWORD>(object_id), CHILDID_SELF,
                                     kAnnotatedProperties, kCount);
    }
  }
  if (auto* link = static_cast<SpokenLink*>(RemovePropW(window, kLinkProperty))) {
    link->window = nullptr;
    ReleaseLink(link);
  }
}

}  // namespace glyphary::windows
