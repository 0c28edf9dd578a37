// What a screen reader is told about the installer's windows and controls
// beyond what the system says of them by itself: a name that is not shown
// on the screen (the windows' title bars are empty), a description (why the
// finish window asks for a restart), a role (a label is static text, a
// frame a grouping) and a state (a ticked box is checked). Windows' own
// objects already know the roles and states of buttons and check boxes;
// Wine's do not, and say "client" of every control but a text box, so the
// controls say it themselves.
//
// A window or control that has something to say answers WM_GETOBJECT with
// AnswerGetObject. That hands the client the system's own accessible object
// for the window, wrapped: the wrapper asks the window for its name,
// description and role (kSpokenMessage) at each call, and passes everything
// else through. The window is asked afresh, so that a changed status is
// read as it is now, and a window that is gone is simply no longer asked.
// oleacc.dll (and the COM libraries it needs) is loaded on the first
// WM_GETOBJECT, that is only when assistive technology asks: a start of the
// program without it never loads them.
#pragma once

#include <windows.h>

namespace glyphary::windows {

// Asked of a window by the accessible object that stands for it: wparam a
// SpokenAspect, lparam a SpokenAnswer to fill. Returns 1 when the window
// filled it, 0 to keep what the system says.
constexpr UINT kSpokenMessage = WM_APP + 11;

enum SpokenAspect : WPARAM {
  kSpokenName = 0,
  kSpokenDescription = 1,
  kSpokenRole = 2,
  kSpokenState = 3,  // STATE_SYSTEM_* flags added to the system's
};

struct SpokenAnswer {
  LONG object_id = OBJID_CLIENT;  // asked for: the window as a whole (OBJID_WINDOW) or its client area
  wchar_t text[512] = {};         // the name or description
  long role = 0;                  // a ROLE_SYSTEM_* value
  long state = 0;                 // STATE_SYSTEM_* flags
};

// Fills `answer` with `text`, cut to its size.
void SetSpokenText(SpokenAnswer& answer, const wchar_t* text);
// The same with `window`'s text.
void SetSpokenTextOf(SpokenAnswer& answer, HWND window);

// The answer to WM_GETOBJECT for `window` (wparam and lparam as received):
// the system's object for the window or its client area, wrapped as above.
// 0, which sends the client to the system's own object, for other objects
// or when oleacc cannot be loaded.
LRESULT AnswerGetObject(HWND window, WPARAM wparam, LPARAM lparam);

// Tells assistive technology that the text of `control` changed and is to be
// read out now: a name change, and a live region's change for clients that
// follow live regions.
void AnnounceTextChange(HWND control);

}  // namespace glyphary::windows
