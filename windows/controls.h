// A window's controls, made from a small table in the window's own file:
// which kind, which ID, which text, where (in twips), listed front to back.
// Labels and pictures are windows of our own class that we draw, so that a
// transparent label shows what lies behind it; frames draw their etched
// border; text boxes, buttons and check boxes are the system's EDIT and
// BUTTON. Fonts are made per DPI, a caption that would not fit its one-line
// box in the face this machine has is drawn up to a fifth smaller.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/error.h"
#include "base/fixed_list.h"
#include "windows/gdi.h"
#include "windows/layout.h"

namespace glyphary::windows {

class Ui;

enum class ControlKind { kLabel, kPicture, kTextBox, kButton, kFrame, kCheckBox };

// A colour: an RGB triple, or one of the system colours (a COLOR_* index).
struct Colour {
  bool system = true;
  int system_index = COLOR_BTNTEXT;
  std::uint8_t r = 0, g = 0, b = 0;

  static constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return Colour{false, 0, red, green, blue};
  }
  static constexpr Colour System(int index) { return Colour{true, index, 0, 0, 0}; }
  COLORREF ToColorRef() const { return system ? GetSysColor(system_index) : RGB(r, g, b); }
};

struct Font {
  const wchar_t* face = L"MS Sans Serif";
  double points = 8.25;
  int weight = FW_NORMAL;
  bool italic = false;
};

inline constexpr Font kDefaultFont{};

// One row of a window's control table: what one child control is and where.
struct ControlRow {
  ControlKind kind;
  int id;                // the child window's ID
  int container;         // the ID of the frame that holds it; 0: the window
  const wchar_t* text;   // caption
  Box box;               // twips, in the container's client area
  const Font* font = &kDefaultFont;
  Colour fore = Colour::System(COLOR_BTNTEXT);
  bool transparent = false;  // a label that paints no ground
  int resource = 0;          // a picture's bitmap, a text box's text
};

// A window's table: its client area, its controls front to back, and the
// IDs of those that take the focus in tab order.
struct ControlTable {
  Box client;
  const ControlRow* controls;
  std::size_t count;
  const int* tab_order;
  std::size_t tab_count;
};

// The most controls a window holds.
constexpr std::size_t kMaxControls = 4;

class Controls {
 public:
  Controls() = default;
  Controls(const Controls&) = delete;
  Controls& operator=(const Controls&) = delete;

  // Makes the controls of `rows` (front to back) in `window`, which paints
  // `ground` behind them. Frames are made first, so that the controls they
  // hold have their parent.
  template <std::size_t N>
  [[nodiscard]] Error Create(const Ui& ui, HWND window, Colour ground, const ControlRow (&rows)[N]) {
    static_assert(N <= kMaxControls, "more controls than a window holds");
    return Create(ui, window, ground, rows, N);
  }

  // The control with `id` (nullptr when there is none).
  HWND Get(int id) const;

  // The messages every window with controls answers alike: its ground
  // (WM_ERASEBKGND), the colours of its text box and check box
  // (WM_CTLCOLORSTATIC), and the focus: kept across deactivation, given to
  // the first control of `tab_order` (IDs) that can take it, moved along it
  // by Tab (kMoveFocusMessage). True, with `result`, when `message` was one
  // of them.
  template <std::size_t N>
  bool HandleShared(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                    const int (&tab_order)[N], LRESULT& result) {
    return HandleShared(window, message, wparam, lparam, tab_order, N, result);
  }
  bool HandleShared(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                    const int* tab_order, std::size_t count, LRESULT& result);

  // Forgets the windows (they are gone) and frees the fonts and bitmaps.
  void Clear();

 private:
  struct Made {
    const ControlRow* row = nullptr;
    HWND window = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    RECT rect{};  // pixels, in the container's client area
  };
  struct MadeFont {
    const Font* font;
    int height;
    HFONT handle;
  };

  Error Create(const Ui& ui, HWND window, Colour ground, const ControlRow* rows, std::size_t count);
  Error CreateOne(const Ui& ui, Made& control, HWND window);
  Error FitCaption(const Ui& ui, Made& control);
  bool CaptionFits(const Ui& ui, const Made& control) const;
  Error FontFor(const Font& font, int height, HFONT& handle);
  Error Keep(HGDIOBJ object);
  void MoveFocus(const int* tab_order, std::size_t count, bool backwards, bool first) const;
  const Made* Find(int id) const;
  void Paint(const Made& control, HDC dc) const;
  void Draw(const Made& control, HDC dc, POINT offset) const;
  LRESULT ControlMessage(Made& control, UINT message, WPARAM wparam, LPARAM lparam);

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  FixedList<Made, kMaxControls> made_;
  FixedList<MadeFont, kMaxControls + 1> fonts_;
  GdiObject gdi_[2 * kMaxControls + 2];  // fonts, the ground brush, bitmaps
  std::size_t gdi_count_ = 0;
  Colour ground_;
  HBRUSH ground_brush_ = nullptr;
  HWND last_focus_ = nullptr;
};

// The text of an RCDATA resource holding ANSI text, into `text`.
[[nodiscard]] Error LoadTextResource(HINSTANCE instance, int id, WideText& text);

}  // namespace glyphary::windows
