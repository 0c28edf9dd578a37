// A window's controls, made from a small table in the window's own file:
// which kind, which ID, which text, where (in twips), listed front to back,
// which is also the order a screen reader lists them in and the Tab key
// follows. Labels and pictures are windows of our own class that we draw, so
// that a transparent label shows what lies behind it; a decoration (the
// title's shadow, the backdrop's picture) has no window at all and is drawn
// by its container, so that a screen reader does not list it. Frames draw
// their etched border; text boxes, buttons and check boxes are the system's
// EDIT and BUTTON. Fonts are made per DPI, a caption that would not fit its
// one-line box in the face this machine has is drawn up to a fifth smaller.
// Under a high-contrast scheme everything the program paints itself takes
// the scheme's colours, and follows the scheme when it changes.
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

// A colour: one of the system colours (a COLOR_* index), or an RGB triple
// of the design with the system colour that stands in for it when a
// high-contrast scheme is on.
struct Colour {
  bool system = true;
  int system_index = COLOR_BTNTEXT;  // the system colour; a fixed one's stand-in
  std::uint8_t r = 0, g = 0, b = 0;

  static constexpr Colour Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue,
                              int in_high_contrast) {
    return Colour{false, in_high_contrast, red, green, blue};
  }
  static constexpr Colour System(int index) { return Colour{true, index, 0, 0, 0}; }
  // The system colour this colour is under the scheme in use, or -1 for
  // the design's own RGB.
  constexpr int SystemIndex(bool high_contrast) const {
    return system || high_contrast ? system_index : -1;
  }
  COLORREF ToColorRef(bool high_contrast) const {
    const int index = SystemIndex(high_contrast);
    return index >= 0 ? GetSysColor(index) : RGB(r, g, b);
  }
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
  // A decoration: no window of its own, drawn by its container, not listed
  // by a screen reader.
  bool drawn = false;
  // What a screen reader says of it besides its caption: a name for a
  // control whose caption is none, the ID of the control whose text
  // describes it.
  const wchar_t* spoken_name = nullptr;
  int described_by = 0;
  // A status whose changes a screen reader reads out as they come, without
  // the focus moving: a polite live region.
  bool live_region = false;
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
  [[nodiscard]] Error Create(Ui& ui, HWND window, Colour ground, const ControlRow (&rows)[N]) {
    static_assert(N <= kMaxControls, "more controls than a window holds");
    return Create(ui, window, ground, rows, N);
  }

  // The control with `id` (nullptr when there is none).
  HWND Get(int id) const;

  // The messages every window with controls answers alike: its ground
  // (WM_ERASEBKGND) and the decorations drawn on it (WM_PAINT), the colours of its text box
  // and check box (WM_CTLCOLORSTATIC), a change of the colour scheme
  // (WM_SYSCOLORCHANGE, WM_SETTINGCHANGE: all of it is drawn again in the
  // new colours), and the focus: kept across deactivation, given to the
  // first control of `tab_order` (IDs) that can take it, moved along it by
  // Tab (kMoveFocusMessage). True, with `result`, when `message` was one of
  // them.
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
    HWND window = nullptr;  // none for a decoration
    HWND parent = nullptr;  // the window or frame it lies in
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;
    mutable HBITMAP outline = nullptr;  // a picture in two colours, for high contrast: made when first drawn
    WNDPROC system_procedure = nullptr;  // a system control's own, when we answer for it too
    RECT rect{};  // pixels, in the container's client area
  };
  struct MadeFont {
    const Font* font;
    int height;
    HFONT handle;
  };

  Error Create(Ui& ui, HWND window, Colour ground, const ControlRow* rows, std::size_t count);
  Error CreateOne(Made& control, HWND window);
  Error FitCaption(Made& control);
  bool CaptionFits(const Made& control) const;
  Error FontFor(const Font& font, int height, HFONT& handle);
  // Keeps `object` to be deleted with the controls (also while drawing,
  // which makes what it needs when it first needs it).
  Error Keep(HGDIOBJ object) const;
  void MoveFocus(const int* tab_order, std::size_t count, bool backwards, bool first) const;
  const Made* Find(int id) const;
  bool high_contrast() const;
  HBRUSH GroundBrush() const;
  void Paint(const Made& control, HDC dc) const;
  void Draw(const Made& control, HDC dc, POINT offset) const;
  void DrawPicture(const Made& control, HDC dc, POINT at) const;
  void DrawFrame(const Made& control, HDC dc) const;
  LRESULT Speak(const Made& control, WPARAM aspect, LPARAM answer) const;
  LRESULT ControlMessage(Made& control, UINT message, WPARAM wparam, LPARAM lparam);

  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  Ui* ui_ = nullptr;
  FixedList<Made, kMaxControls> made_;
  FixedList<MadeFont, kMaxControls + 1> fonts_;
  mutable GdiObject gdi_[3 * kMaxControls + 2];  // fonts, the ground brush, bitmaps and their outlines
  mutable std::size_t gdi_count_ = 0;
  Colour ground_;
  HBRUSH fixed_ground_brush_ = nullptr;  // the design's own ground colour
  HWND last_focus_ = nullptr;
};

// The text of an RCDATA resource holding ANSI text, into `text`.
[[nodiscard]] Error LoadTextResource(HINSTANCE instance, int id, WideText& text);

}  // namespace glyphary::windows
