// What a screen reader is told about the installer's windows and controls
// beyond what the system says of them by itself: a name that is not shown
// on the screen (the windows' title bars are empty), a description (why the
// finish window asks for a restart, the progress status), a role (a label
// is static text, a frame a grouping, the windows dialogs) and that the
// progress status is a polite live region.
//
// Where the system offers Dynamic Annotation (IAccPropServices, on Windows)
// these are annotations on the windows' own accessible objects: the system
// keeps answering WM_GETOBJECT for every window, so that UI Automation uses
// its own providers for the system's controls (the text box keeps its text
// pattern) and reads our names, descriptions, roles and the live setting
// from the annotations. Where annotation is missing (Wine answers
// E_NOTIMPL), our windows answer WM_GETOBJECT themselves with the system's
// object wrapped: the wrapper asks the window for its name, description,
// role and state at each call, and is its own COM object (IUnknown,
// IDispatch through the IAccessible type information, IAccessible). Wine's
// objects know no roles and states for buttons and check boxes, so there
// the system's controls are wrapped too.
//
// Every window tells the object what it has to say through kSpokenMessage.
//
// COM: the windows' thread joins a single-threaded apartment when its
// message loop starts (after the first screen is up) and leaves it when the
// loop ends. oleacc.dll and oleaut32.dll are loaded only when assistive
// technology first asks (WM_GETOBJECT) or says it runs
// (SPI_GETSCREENREADER): a start of the program without it never loads
// them.
#pragma once

#include <windows.h>

struct IAccPropServices;
struct ITypeInfo;

namespace glyphary::windows {

// Asked of a window of ours: wparam a SpokenAspect, lparam a SpokenAnswer to
// fill. Returns 1 when the window filled it, 0 to keep what the system says.
constexpr UINT kSpokenMessage = WM_APP + 11;

enum SpokenAspect : WPARAM {
  kSpokenName = 0,
  kSpokenDescription = 1,
  kSpokenRole = 2,
  kSpokenState = 3,  // STATE_SYSTEM_* flags added to the system's
  kSpokenLive = 4,   // a live region's politeness (1: polite)
};

struct SpokenAnswer {
  LONG object_id = OBJID_CLIENT;  // asked for: the window as a whole (OBJID_WINDOW) or its client area
  wchar_t text[512] = {};         // the name or description
  long role = 0;                  // a ROLE_SYSTEM_* value
  long state = 0;                 // STATE_SYSTEM_* flags
  long live = 0;                  // LiveSetting: 0 off, 1 polite, 2 assertive
  // Set by a system control for what the system's own object says of it on
  // Windows (its role, its state): told only where the wrapper stands in.
  bool system_knows = false;
};

// Fills `answer` with `text`, cut to its size.
void SetSpokenText(SpokenAnswer& answer, const wchar_t* text);
// The same with `window`'s text.
void SetSpokenTextOf(SpokenAnswer& answer, HWND window);

// Where the annotation service comes from: the system's (null: made with
// CoCreateInstance of CLSID_AccPropServices) or a test host's stand-in.
using AnnotationSource = HRESULT (*)(IAccPropServices** service);

// What assistive technology is told, for the windows of one thread (the
// Ui's). All of it runs on that thread.
class Accessibility {
 public:
  explicit Accessibility(AnnotationSource source = nullptr) : source_(source) {}
  ~Accessibility() { LeaveApartment(); }
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;

  // The thread joins COM's single-threaded apartment (when the message loop
  // starts), so that the objects handed out are called between the
  // windows' messages; when a screen reader says it runs, the windows are
  // annotated at once. LeaveApartment lets the annotation service go and
  // leaves the apartment (when the loop has ended and the windows are gone).
  void JoinApartment();
  void LeaveApartment();

  // The answer to WM_GETOBJECT for `window` (wparam and lparam as
  // received). The first question starts the annotation of all our
  // windows; while it works the answer is 0 (the system's object, with the
  // annotations), else the wrapped object for OBJID_CLIENT and OBJID_WINDOW.
  LRESULT Answer(HWND window, WPARAM wparam, LPARAM lparam);

  // Annotates the top-level window `window` and its controls with what they
  // say now, when annotation is in use (a window about to show, a status
  // that changed).
  void Annotate(HWND window);

  // Tells assistive technology that the text of `control` in the top-level
  // `window` changed and is to be read out now: the annotations renewed, a
  // name change and a live region's change on the control, a description
  // change on the window.
  void AnnounceTextChange(HWND window, HWND control);

  // `window` goes (WM_NCDESTROY): its annotations are cleared and the
  // objects handed out for it no longer ask it.
  void WindowGone(HWND window);

  bool annotating() const { return state_ == State::kAnnotating; }

 private:
  enum class State { kUntried, kAnnotating, kWrapping };

  void StartAnnotation();
  bool AnnotateOne(HWND window, LONG object_id);
  bool LoadWrapping();

  AnnotationSource source_;
  bool joined_ = false;         // JoinApartment ran
  bool uninitialize_ = false;   // CoInitializeEx succeeded: CoUninitialize at the end
  State state_ = State::kUntried;
  IAccPropServices* service_ = nullptr;
  ITypeInfo* type_info_ = nullptr;  // IAccessible's, for the wrappers' IDispatch
  bool wrapping_loaded_ = false;
};

}  // namespace glyphary::windows
