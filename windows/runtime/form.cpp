#include "windows/runtime/form.h"

#include <cwchar>

#include "windows/runtime/controls.h"
#include "windows/runtime/layout.h"
#include "windows/runtime/runtime.h"

namespace glyphary::windows {

namespace {

// Events are posted to the window itself and raised when the message loop
// reaches them, one at a time and never inside another window operation.
constexpr UINT kResizeEvent = WM_APP + 1;
constexpr UINT kGotFocusEvent = WM_APP + 2;

// The face and output precision to ask for in place of a described face.
// Text must scale with the DPI: a bitmap face is replaced by its TrueType
// twin, which every Windows has; where it is missing (Wine), the system's
// closest TrueType face still scales, and the caption fitting in
// CreateControls makes up for its other widths. Other faces are asked for
// as they are.
struct FaceChoice {
  const wchar_t* face;
  BYTE precision;
};

FaceChoice ChooseFace(const wchar_t* face) {
  const wchar_t* scalable = ScalableFace(face);
  if (std::wcscmp(scalable, face) == 0) return FaceChoice{face, OUT_DEFAULT_PRECIS};
  return FaceChoice{scalable, OUT_TT_ONLY_PRECIS};
}

PixelRect ToPixelRect(const RECT& r) { return PixelRect{r.left, r.top, r.right, r.bottom}; }

// Where a window with the outer rectangle `frame` goes: wholly inside the
// work area (the screen less the taskbar) of the monitor it would appear on.
RECT OnScreen(const RECT& frame) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  if (!GetMonitorInfoW(MonitorFromRect(&frame, MONITOR_DEFAULTTONEAREST), &monitor)) return frame;
  PixelRect fitted = FitInside(ToPixelRect(frame), ToPixelRect(monitor.rcWork));
  return RECT{fitted.left, fitted.top, fitted.right, fitted.bottom};
}

WideText WindowText(HWND window) {
  WideText text;
  const int length = GetWindowTextLengthW(window);
  text.Resize(static_cast<size_t>(length));
  text.Resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

bool SameFont(const Font& a, const Font& b) {
  return std::wcscmp(a.face, b.face) == 0 && a.weight == b.weight && a.italic == b.italic &&
         a.charset == b.charset;
}

}  // namespace

Error Control::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                         bool& handled) {
  return form->OnControlMessage(*this, message, wparam, lparam, result, handled);
}

Form::Form(Describe describe) : describe_(describe) { runtime::Enrol(this); }

Form::~Form() { delete in_; }

RECT Form::PixelBox(const Box& box) const {
  const int dpi = runtime::Dpi();
  const int left = TwipsToPixels(box.left, dpi);
  const int top = TwipsToPixels(box.top, dpi);
  return RECT{left, top, left + TwipsToPixels(box.width, dpi),
              top + TwipsToPixels(box.height, dpi)};
}

Error Form::Keep(HGDIOBJ object) {
  if (object == nullptr || in_->gdi_count == sizeof(in_->gdi) / sizeof(in_->gdi[0])) {
    if (object != nullptr) DeleteObject(object);
    return errors::Make(errors::kOutOfMemory);
  }
  in_->gdi[in_->gdi_count++] = GdiObject(object);
  return Error();
}

Error Form::Load() {
  if (hwnd_ != nullptr) return Error();
  delete in_;  // what a window that never came about left
  in_ = new Instance;
  in_->description = describe_();

  for (const wchar_t* window_class :
       {in_->description.window_class, &kLightweightClass[0], &kFrameClass[0]}) {
    if (Error error = RegisterClassOnce(window_class)) return error;
  }

  if (in_->description.back.system) {
    in_->back_brush = GetSysColorBrush(in_->description.back.system_index);
  } else {
    in_->back_brush = CreateSolidBrush(ToColorRef(in_->description.back));
    if (Error error = Keep(in_->back_brush)) return error;
  }

  const DWORD style = FormStyle(in_->description);
  RECT frame = PixelBox(in_->description.client);
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  if (!in_->description.default_position) frame = OnScreen(frame);
  const int x = in_->description.default_position ? CW_USEDEFAULT : frame.left;
  const int y = in_->description.default_position ? CW_USEDEFAULT : frame.top;
  HWND created = CreateWindowExW(0, in_->description.window_class, in_->description.caption, style, x, y,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, runtime::Instance(), static_cast<WindowBase*>(this));
  if (created == nullptr) return errors::Make(errors::kOutOfMemory);
  runtime::WindowCreated();
  if (in_->description.default_position) {
    // Where the system placed it, moved onto the screen if need be.
    RECT placed{};
    GetWindowRect(hwnd_, &placed);
    const RECT fitted = OnScreen(placed);
    if (fitted.left != placed.left || fitted.top != placed.top) {
      SetWindowPos(hwnd_, nullptr, fitted.left, fitted.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  if (in_->description.icon != 0) {
    for (int which : {ICON_BIG, ICON_SMALL}) {
      const int size = GetSystemMetrics(which == ICON_BIG ? SM_CXICON : SM_CXSMICON);
      HANDLE icon = LoadImageW(runtime::Instance(), MAKEINTRESOURCEW(in_->description.icon),
                               IMAGE_ICON, size, size, LR_SHARED);
      SendMessageW(hwnd_, WM_SETICON, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(icon));
    }
  }
  if (Error error = CreateControls()) return error;
  return Form_Load();
}

Error Form::CreateControls() {
  const auto& list = in_->description.controls;
  for (size_t i = 0; i < list.size(); ++i) {
    Control& c = in_->controls[i];
    c.form = this;
    c.index = static_cast<int>(i);
    c.font = nullptr;
    c.bitmap = nullptr;
    c.rect = PixelBox(list[i].box);
  }
  // Frames first, so that the controls they hold have their parent.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < in_->description.controls.size(); ++i) {
      if ((list[i].kind == ControlKind::kFrame) != (pass == 0)) continue;
      if (Error error = CreateControl(in_->controls[i])) return error;
    }
  }
  // Stack the controls of each container front to back as listed.
  for (size_t i = 0; i < in_->description.controls.size(); ++i) {
    HWND after = HWND_TOP;
    for (size_t j = i; j-- > 0;) {
      if (list[j].container == list[i].container) {
        after = in_->controls[j].hwnd();
        break;
      }
    }
    SetWindowPos(in_->controls[i].hwnd(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return Error();
}

Error Form::CreateControl(Control& c) {
  const ControlDescription& d = in_->description.controls[static_cast<size_t>(c.index)];
  HWND parent = d.container < 0 ? hwnd_ : in_->controls[static_cast<size_t>(d.container)].hwnd();
  const ControlClass made = ClassOf(d);
  // A text box gets its text after its font, so that it lays the text out
  // once, in the font it shows it in.
  const bool text_later = d.kind == ControlKind::kTextBox;
  HWND window = CreateWindowExW(made.ex_style, made.window_class, text_later ? L"" : d.text,
                                made.style, c.rect.left, c.rect.top, c.rect.right - c.rect.left,
                                c.rect.bottom - c.rect.top, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)),
                                runtime::Instance(), static_cast<WindowBase*>(&c));
  if (window == nullptr) return errors::Make(errors::kOutOfMemory);
  c.Adopt(window);

  if (Error error = FitCaption(c)) return error;
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(c.font), FALSE);
  if (text_later) {
    WideText text(d.text);
    if (d.resource != 0) {
      if (Error error = LoadTextResource(d.resource, text)) return error;
    }
    SetWindowTextW(window, text.c_str());
  }
  if (d.kind == ControlKind::kCheckBox) {
    SendMessageW(window, BM_SETCHECK, d.value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  if (d.kind == ControlKind::kImage && d.resource != 0) {
    if (Error error = LoadBitmapResource(d.resource, c.bitmap)) return error;
    if (Error error = Keep(c.bitmap)) return error;
  }
  return Error();
}

Error Form::FitCaption(Control& c) {
  // The design size; smaller, a pixel at a time, while the caption would not
  // fit its box in the face this machine has (down to four fifths).
  const Font& font = in_->description.controls[static_cast<size_t>(c.index)].font;
  const int smallest = -SmallestFontHeight(font.points, runtime::Dpi());
  int pixels = -FontHeightForPoints(font.points, runtime::Dpi());
  if (Error error = FontFor(font, -pixels, c.font)) return error;
  while (pixels > smallest && !CaptionFits(c)) {
    if (Error error = FontFor(font, -(--pixels), c.font)) return error;
  }
  return Error();
}

Error Form::FontFor(const Font& font, int height, HFONT& handle) {
  // Controls that share a font description and height share one font object.
  for (const MadeFont& made : in_->fonts) {
    if (made.height == height && SameFont(made.font, font)) {
      handle = made.handle;
      return Error();
    }
  }
  const FaceChoice face = ChooseFace(font.face);
  handle = CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE,
                       static_cast<DWORD>(font.charset), face.precision, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.face);
  if (Error error = Keep(handle)) return error;
  if (!in_->fonts.Add(MadeFont{font, height, handle})) return errors::Make(errors::kOutOfMemory);
  return Error();
}

bool Form::CaptionFits(const Control& control) const {
  const ControlDescription& d = in_->description.controls[static_cast<size_t>(control.index)];
  // Labels and check boxes show one caption in a box designed for it.
  if (d.kind != ControlKind::kLabel && d.kind != ControlKind::kCheckBox) return true;
  const std::wstring_view text = d.text;
  if (text.empty()) return true;
  int width = control.rect.right - control.rect.left;
  const int height = control.rect.bottom - control.rect.top;
  if (d.kind == ControlKind::kCheckBox) {
    // The box and the gap before the caption.
    width -= GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, runtime::Dpi(), 96);
  }
  WindowDc dc(control.hwnd());
  SelectedObject selected(dc.get(), control.font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc.get(), &metrics);
  RECT needed{0, 0, width, 0};
  DrawTextW(dc.get(), text.data(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  // A box less than two lines high was designed for one line: its text
  // must not wrap. A taller box must hold every line it wraps to.
  const bool one_line = height < 2 * metrics.tmHeight;
  return needed.right <= width &&
         (one_line ? needed.bottom <= metrics.tmHeight : needed.bottom <= height);
}

Error Form::Show() {
  if (Error error = Load()) return error;
  if (!IsWindowVisible(hwnd_)) {
    const bool first = !in_->shown;
    in_->shown = true;
    ShowWindow(hwnd_, in_->description.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    // The first showing raises Form_Resize even when the size did not change.
    if (first && !in_->resize_posted) {
      in_->resize_posted = true;
      PostMessageW(hwnd_, kResizeEvent, 0, 0);
    }
  }
  SetForegroundWindow(hwnd_);
  BringWindowToTop(hwnd_);
  return Error();
}

void Form::Unload() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void Form::OnDestroyed() {
  // The controls are gone before their form; its fonts, brushes and bitmaps
  // go with the instance.
  delete in_;
  in_ = nullptr;
  runtime::WindowDestroyed();
}

const Control* Form::ControlWithId(int id) const {
  if (hwnd_ == nullptr || in_ == nullptr) return nullptr;
  const int i = IndexOfId(in_->description, id);
  return i < 0 ? nullptr : &in_->controls[i];
}

int Form::IndexOf(HWND window) const {
  for (size_t i = 0; i < in_->description.controls.size(); ++i) {
    if (in_->controls[i].hwnd() == window) return static_cast<int>(i);
  }
  return -1;
}

WideText Form::Caption(int id) const {
  const Control* control = ControlWithId(id);
  return control != nullptr ? WindowText(control->hwnd()) : WideText();
}

void Form::SetCaption(int id, std::wstring_view text) {
  if (const Control* control = ControlWithId(id)) {
    SetWindowTextW(control->hwnd(), WideText(text).c_str());
  }
}

int Form::Value(int id) const {
  const Control* control = ControlWithId(id);
  return control != nullptr &&
                 SendMessageW(control->hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED
             ? 1
             : 0;
}

void Form::FocusFirstControl() {
  for (int i : TabOrder(in_->description)) {
    HWND window = in_->controls[static_cast<size_t>(i)].hwnd();
    if (IsWindowEnabled(window) && IsWindowVisible(window)) {
      SetFocus(window);
      return;
    }
  }
}

void Form::MoveFocus(bool backwards) {
  FixedList<HWND, kMaxControls> order;
  for (int i : TabOrder(in_->description)) {
    HWND window = in_->controls[static_cast<size_t>(i)].hwnd();
    if (IsWindowEnabled(window) && IsWindowVisible(window)) (void)order.Add(window);
  }
  if (order.empty()) return;
  HWND focus = GetFocus();
  const size_t n = order.size();
  size_t next = backwards ? n - 1 : 0;
  for (size_t k = 0; k < n; ++k) {
    if (order[k] == focus) next = backwards ? (k + n - 1) % n : (k + 1) % n;
  }
  SetFocus(order[next]);
}

void Form::DrawLightweight(const Control& control, HDC dc, POINT offset) {
  const ControlDescription& d = in_->description.controls[static_cast<size_t>(control.index)];
  if (d.kind == ControlKind::kImage && control.bitmap != nullptr) {
    DrawBitmap(dc, control.bitmap, offset);
  } else if (d.kind == ControlKind::kLabel) {
    const RECT box{offset.x, offset.y, offset.x + (control.rect.right - control.rect.left),
                   offset.y + (control.rect.bottom - control.rect.top)};
    DrawCaption(dc, control.font,
                ToColorRef(d.fore.value_or(Colour::System(kColorButtonText))),
                WindowText(control.hwnd()), box);
  }
}

void Form::PaintLightweight(const Control& control, HDC dc) {
  const auto& list = in_->description.controls;
  const ControlDescription& d = list[static_cast<size_t>(control.index)];
  RECT client{};
  GetClientRect(control.hwnd(), &client);

  Colour ground = d.container < 0 ? in_->description.back
                                  : list[static_cast<size_t>(d.container)].back.value_or(
                                        Colour::System(kColorButtonFace));
  const bool see_through = d.kind == ControlKind::kImage || d.transparent;
  if (!see_through) ground = d.back.value_or(Colour::System(kColorButtonFace));
  Fill(dc, client, ToColorRef(ground));

  if (see_through) {
    // What lies behind in the same container, from the back forward.
    for (size_t j = in_->description.controls.size(); j-- > static_cast<size_t>(control.index) + 1;) {
      const Control& other = in_->controls[j];
      RECT overlap{};
      if (list[j].container != d.container || !IsLightweight(list[j].kind) ||
          !IntersectRect(&overlap, &other.rect, &control.rect)) {
        continue;
      }
      DrawLightweight(other, dc,
                      POINT{other.rect.left - control.rect.left, other.rect.top - control.rect.top});
    }
  }
  DrawLightweight(control, dc, POINT{0, 0});
}

Error Form::OnControlMessage(Control& control, UINT message, WPARAM wparam, LPARAM lparam,
                             LRESULT& result, bool& handled) {
  const ControlDescription& d = in_->description.controls[static_cast<size_t>(control.index)];
  switch (message) {
    case WM_ERASEBKGND:
      handled = true;
      result = 1;
      break;
    case WM_PAINT: {
      PaintScope paint(control.hwnd());
      if (d.kind == ControlKind::kFrame) {
        RECT client{};
        GetClientRect(control.hwnd(), &client);
        DrawFrame(paint.get(), control.font, client);
      } else {
        PaintLightweight(control, paint.get());
      }
      handled = true;
      break;
    }
    case WM_SETTEXT:
      result = DefWindowProcW(control.hwnd(), message, wparam, lparam);
      // Repaint the area, with whatever overlaps it, from the parent down.
      RedrawWindow(GetParent(control.hwnd()), &control.rect, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN);
      handled = true;
      break;
    case WM_NCHITTEST:
      if (d.kind != ControlKind::kFrame) {
        result = HTTRANSPARENT;
        handled = true;
      }
      break;
    default:
      break;
  }
  return Error();
}

Error Form::OnMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                      bool& handled) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, in_->back_brush);
      result = 1;
      handled = true;
      return Error();
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      const int i = IndexOf(reinterpret_cast<HWND>(lparam));
      handled = true;
      if (i >= 0 && in_->description.controls[static_cast<size_t>(i)].kind == ControlKind::kTextBox) {
        // A read-only text box keeps the colours of an editable one.
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        return Error();
      }
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, ToColorRef(in_->description.back));
      result = reinterpret_cast<LRESULT>(in_->back_brush);
      return Error();
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam != 0) {
        handled = true;
        const int i = IndexOf(reinterpret_cast<HWND>(lparam));
        if (i >= 0 && !runtime::Quiet()) return Click(in_->description.controls[static_cast<size_t>(i)].id);
      }
      return Error();
    case WM_SIZE:
      if (in_->shown && !in_->resize_posted) {
        in_->resize_posted = true;
        PostMessageW(hwnd_, kResizeEvent, 0, 0);
      }
      return Error();
    case kResizeEvent:
      handled = true;
      in_->resize_posted = false;
      return runtime::Quiet() ? Error() : Form_Resize();
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) in_->last_focus = focus;
      }
      return Error();
    case WM_SETFOCUS:
      handled = true;
      if (!TabOrder(in_->description).empty()) {
        if (in_->last_focus != nullptr && IsWindow(in_->last_focus) && IsChild(hwnd_, in_->last_focus)) {
          SetFocus(in_->last_focus);
        } else {
          FocusFirstControl();
        }
      } else if (!in_->got_focus_posted) {
        in_->got_focus_posted = true;
        PostMessageW(hwnd_, kGotFocusEvent, 0, 0);
      }
      return Error();
    case kGotFocusEvent:
      handled = true;
      in_->got_focus_posted = false;
      // The window is drawn before its handler runs: a handler that hands
      // over to another window at once still leaves this one seen, drawn.
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      return runtime::Quiet() ? Error() : Form_GotFocus();
    default:
      return Error();
  }
}

}  // namespace glyphary::windows
