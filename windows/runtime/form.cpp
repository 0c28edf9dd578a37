#include "windows/runtime/form.h"

#include <cwchar>
#include <map>
#include <set>

#include "platform/decimal.h"
#include "platform/error.h"
#include "windows/runtime/layout.h"
#include "windows/runtime/runtime.h"

namespace glyphary::windows {

namespace {

// Events are posted to the window itself and raised when the message loop
// reaches them, one at a time and never inside another window operation.
constexpr UINT kResizeEvent = WM_APP + 1;
constexpr UINT kGotFocusEvent = WM_APP + 2;

// Labels and pictures are drawn by the runtime (so that a transparent label
// shows what lies behind it); frames are containers that draw their border.
constexpr wchar_t kLightweightClass[] = L"Glyphary.Lightweight";
constexpr wchar_t kFrameClass[] = L"Glyphary.Frame";

COLORREF ToColorRef(const Colour& colour) {
  return colour.system ? GetSysColor(colour.system_index) : RGB(colour.r, colour.g, colour.b);
}

bool IsLightweight(ControlKind kind) {
  return kind == ControlKind::kLabel || kind == ControlKind::kImage;
}

void RegisterClassOnce(const std::wstring& name, WNDPROC procedure) {
  static std::set<std::wstring> registered;
  if (registered.count(name) != 0) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = procedure;
  wc.hInstance = runtime::Instance();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = name.c_str();
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw Error(7, L"Out of memory");
  }
  registered.insert(name);
}

DWORD StyleOf(const FormDescription& form) {
  DWORD style = WS_CLIPCHILDREN;
  switch (form.border) {
    case Border::kNone:
      style |= WS_POPUP;
      break;
    case Border::kFixedSingle:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
      break;
    case Border::kSizable:
      style |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;
      break;
  }
  if (form.min_button) style |= WS_MINIMIZEBOX;
  if (form.max_button) style |= WS_MAXIMIZEBOX;
  return style;
}

// The text of an RCDATA resource holding ANSI text.
std::wstring LoadTextResource(int id) {
  HINSTANCE instance = runtime::Instance();
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) {
    throw Error(326, L"Resource with identifier '" + DecimalText(id) + L"' not found");
  }
  int size = static_cast<int>(SizeofResource(instance, found));
  int length = MultiByteToWideChar(CP_ACP, 0, bytes, size, nullptr, 0);
  std::wstring text(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes, size, text.data(), length);
  return text;
}

// The object a window belongs to: handed to CreateWindowExW as its last
// argument, kept in the window's user data from WM_NCCREATE on.
template <class Owner>
Owner* OwnerOf(HWND hwnd, UINT message, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* owner = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return owner;
  }
  return reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

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

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<size_t>(copied));
  return text;
}

}  // namespace

struct Form::Control {
  Form* form = nullptr;
  int index = 0;
  HWND hwnd = nullptr;
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;
  RECT rect{};  // pixels, in the container's client area
};

void Form::GdiDeleter::operator()(void* object) const {
  if (object != nullptr) DeleteObject(static_cast<HGDIOBJ>(object));
}

Form::Form(Describe describe) : describe_(describe) { runtime::Enrol(this); }

Form::~Form() = default;

RECT Form::PixelBox(const Box& box) const {
  int dpi = runtime::Dpi();
  int left = TwipsToPixels(box.left, dpi);
  int top = TwipsToPixels(box.top, dpi);
  return RECT{left, top, left + TwipsToPixels(box.width, dpi), top + TwipsToPixels(box.height, dpi)};
}

void Form::Load() {
  if (hwnd_ != nullptr) return;
  description_ = describe_();

  const std::wstring class_name = std::wstring(L"Glyphary.") + description_.name;
  RegisterClassOnce(class_name, &Form::WindowProc);
  RegisterClassOnce(kLightweightClass, &Form::ControlProc);
  RegisterClassOnce(kFrameClass, &Form::ControlProc);

  if (description_.back.system) {
    back_brush_ = GetSysColorBrush(description_.back.system_index);
  } else {
    back_brush_ = CreateSolidBrush(ToColorRef(description_.back));
    gdi_.emplace_back(back_brush_);
  }

  const DWORD style = StyleOf(description_);
  RECT frame = PixelBox(description_.client);
  AdjustWindowRectEx(&frame, style, FALSE, 0);
  if (!description_.default_position) frame = OnScreen(frame);
  const int x = description_.default_position ? CW_USEDEFAULT : frame.left;
  const int y = description_.default_position ? CW_USEDEFAULT : frame.top;
  HWND created = CreateWindowExW(0, class_name.c_str(), description_.caption, style, x, y,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                 nullptr, runtime::Instance(), this);
  if (created == nullptr) throw Error(7, L"Out of memory");
  hwnd_ = created;
  runtime::WindowCreated();
  if (description_.default_position) {
    // Where the system placed it, moved onto the screen if need be.
    RECT placed{};
    GetWindowRect(hwnd_, &placed);
    RECT fitted = OnScreen(placed);
    if (fitted.left != placed.left || fitted.top != placed.top) {
      SetWindowPos(hwnd_, nullptr, fitted.left, fitted.top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }

  if (description_.icon != 0) {
    for (int which : {ICON_BIG, ICON_SMALL}) {
      int size = GetSystemMetrics(which == ICON_BIG ? SM_CXICON : SM_CXSMICON);
      HANDLE icon = LoadImageW(runtime::Instance(), MAKEINTRESOURCEW(description_.icon),
                               IMAGE_ICON, size, size, LR_SHARED);
      SendMessageW(hwnd_, WM_SETICON, static_cast<WPARAM>(which), reinterpret_cast<LPARAM>(icon));
    }
  }
  CreateControls();
  Form_Load();
}

void Form::CreateControls() {
  const auto& list = description_.controls;
  controls_.clear();
  for (size_t i = 0; i < list.size(); ++i) {
    auto control = std::make_unique<Control>();
    control->form = this;
    control->index = static_cast<int>(i);
    control->rect = PixelBox(list[i].box);
    controls_.push_back(std::move(control));
  }

  // Frames first, so that the controls they hold have their parent.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < list.size(); ++i) {
      const ControlDescription& d = list[i];
      if ((d.kind == ControlKind::kFrame) != (pass == 0)) continue;
      Control& c = *controls_[i];
      HWND parent = d.container < 0 ? hwnd_ : controls_[static_cast<size_t>(d.container)]->hwnd;

      const wchar_t* window_class = kLightweightClass;
      DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
      DWORD ex_style = 0;
      switch (d.kind) {
        case ControlKind::kLabel:
        case ControlKind::kImage:
          break;
        case ControlKind::kFrame:
          window_class = kFrameClass;
          style |= WS_CLIPCHILDREN;
          break;
        case ControlKind::kTextBox:
          window_class = L"EDIT";
          style |= WS_TABSTOP | ES_LEFT;
          if (d.multi_line) style |= ES_MULTILINE | ES_AUTOVSCROLL;
          if (d.vertical_scroll) style |= WS_VSCROLL;
          if (d.read_only) style |= ES_READONLY;
          ex_style = WS_EX_CLIENTEDGE;
          break;
        case ControlKind::kCommandButton:
          window_class = L"BUTTON";
          style |= WS_TABSTOP | BS_PUSHBUTTON;
          break;
        case ControlKind::kCheckBox:
          window_class = L"BUTTON";
          style |= WS_TABSTOP | BS_AUTOCHECKBOX;
          break;
      }
      // A text box gets its text after its font, so that it lays the text
      // out once, in the font it shows it in.
      const bool text_later = d.kind == ControlKind::kTextBox;
      c.hwnd = CreateWindowExW(ex_style, window_class, text_later ? L"" : d.text, style, c.rect.left,
                               c.rect.top, c.rect.right - c.rect.left, c.rect.bottom - c.rect.top,
                               parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(d.id)),
                               runtime::Instance(), &c);
      if (c.hwnd == nullptr) throw Error(7, L"Out of memory");

      // The design size; smaller, a pixel at a time, while the caption would
      // not fit its box in the face this machine has (down to four fifths).
      const int smallest = -SmallestFontHeight(d.font.points, runtime::Dpi());
      int pixels = -FontHeightForPoints(d.font.points, runtime::Dpi());
      c.font = FontFor(d.font, -pixels);
      while (pixels > smallest && !CaptionFits(c, d)) c.font = FontFor(d.font, -(--pixels));
      SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.font), FALSE);
      if (text_later) {
        std::wstring text = d.resource != 0 ? LoadTextResource(d.resource) : std::wstring(d.text);
        SetWindowTextW(c.hwnd, text.c_str());
      }

      if (d.kind == ControlKind::kCheckBox) {
        SendMessageW(c.hwnd, BM_SETCHECK, d.value == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      if (d.kind == ControlKind::kImage && d.resource != 0) {
        c.bitmap = static_cast<HBITMAP>(LoadImageW(runtime::Instance(),
                                                   MAKEINTRESOURCEW(d.resource), IMAGE_BITMAP,
                                                   0, 0, LR_DEFAULTCOLOR));
        if (c.bitmap == nullptr) {
          throw Error(326, L"Resource with identifier '" + DecimalText(d.resource) +
                               L"' not found");
        }
        gdi_.emplace_back(c.bitmap);
      }
    }
  }

  // Stack the controls of each container front to back as listed.
  std::map<int, HWND> previous_in;  // by container
  for (size_t i = 0; i < list.size(); ++i) {
    auto previous = previous_in.find(list[i].container);
    HWND after = previous != previous_in.end() ? previous->second : HWND_TOP;
    SetWindowPos(controls_[i]->hwnd, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous_in[list[i].container] = controls_[i]->hwnd;
  }
}

HFONT Form::FontFor(const Font& font, int height) {
  // Controls that share a font description and height share one font object.
  for (const MadeFont& made : fonts_) {
    if (made.height == height && std::wcscmp(made.font.face, font.face) == 0 &&
        made.font.weight == font.weight && made.font.italic == font.italic &&
        made.font.charset == font.charset) {
      return made.handle;
    }
  }
  const FaceChoice face = ChooseFace(font.face);
  HFONT handle = CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE,
                             static_cast<DWORD>(font.charset), face.precision, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face.face);
  gdi_.emplace_back(handle);
  fonts_.push_back(MadeFont{font, height, handle});
  return handle;
}

bool Form::CaptionFits(const Control& control, const ControlDescription& d) const {
  // Labels and check boxes show one caption in a box designed for it.
  if (d.kind != ControlKind::kLabel && d.kind != ControlKind::kCheckBox) return true;
  const std::wstring text = d.text;
  if (text.empty()) return true;
  int width = control.rect.right - control.rect.left;
  const int height = control.rect.bottom - control.rect.top;
  if (d.kind == ControlKind::kCheckBox) {
    // The box and the gap before the caption.
    width -= GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, runtime::Dpi(), 96);
  }
  HDC dc = GetDC(control.hwnd);
  HGDIOBJ old = SelectObject(dc, control.font);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  RECT needed{0, 0, width, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(control.hwnd, dc);
  // A box less than two lines high was designed for one line: its text
  // must not wrap. A taller box must hold every line it wraps to.
  const bool one_line = height < 2 * metrics.tmHeight;
  return needed.right <= width &&
         (one_line ? needed.bottom <= metrics.tmHeight : needed.bottom <= height);
}

void Form::Show() {
  Load();
  if (!IsWindowVisible(hwnd_)) {
    const bool first = !shown_;
    shown_ = true;
    ShowWindow(hwnd_, description_.maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    // The first showing raises Form_Resize even when the size did not change.
    if (first && !resize_posted_) {
      resize_posted_ = true;
      PostMessageW(hwnd_, kResizeEvent, 0, 0);
    }
  }
  SetForegroundWindow(hwnd_);
  BringWindowToTop(hwnd_);
}

void Form::Unload() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void Form::OnDestroyed() {
  hwnd_ = nullptr;
  controls_.clear();
  fonts_.clear();
  gdi_.clear();
  back_brush_ = nullptr;
  last_focus_ = nullptr;
  shown_ = false;
  resize_posted_ = false;
  got_focus_posted_ = false;
  runtime::WindowDestroyed();
}

int Form::IndexOf(const std::wstring& name) const {
  for (size_t i = 0; i < description_.controls.size(); ++i) {
    if (name == description_.controls[i].name) return static_cast<int>(i);
  }
  return -1;
}

int Form::IndexOf(HWND window) const {
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (controls_[i]->hwnd == window) return static_cast<int>(i);
  }
  return -1;
}

std::wstring Form::Caption(const std::wstring& control) const {
  int i = IndexOf(control);
  if (i < 0 || hwnd_ == nullptr) return std::wstring();
  return WindowText(controls_[static_cast<size_t>(i)]->hwnd);
}

void Form::SetCaption(const std::wstring& control, const std::wstring& text) {
  int i = IndexOf(control);
  if (i < 0 || hwnd_ == nullptr) return;
  SetWindowTextW(controls_[static_cast<size_t>(i)]->hwnd, text.c_str());
}

int Form::Value(const std::wstring& control) const {
  int i = IndexOf(control);
  if (i < 0 || hwnd_ == nullptr) return 0;
  return SendMessageW(controls_[static_cast<size_t>(i)]->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED
             ? 1
             : 0;
}

void Form::FocusFirstControl() {
  for (int i : TabOrder(description_)) {
    HWND window = controls_[static_cast<size_t>(i)]->hwnd;
    if (IsWindowEnabled(window) && IsWindowVisible(window)) {
      SetFocus(window);
      return;
    }
  }
}

void Form::MoveFocus(bool backwards) {
  std::vector<HWND> order;
  for (int i : TabOrder(description_)) {
    HWND window = controls_[static_cast<size_t>(i)]->hwnd;
    if (IsWindowEnabled(window) && IsWindowVisible(window)) order.push_back(window);
  }
  if (order.empty()) return;
  HWND focus = GetFocus();
  size_t n = order.size();
  size_t next = backwards ? n - 1 : 0;
  for (size_t k = 0; k < n; ++k) {
    if (order[k] == focus) next = backwards ? (k + n - 1) % n : (k + 1) % n;
  }
  SetFocus(order[next]);
}

void Form::DrawLightweight(const Control& control, HDC dc, POINT offset) {
  const ControlDescription& d = description_.controls[static_cast<size_t>(control.index)];
  const int width = control.rect.right - control.rect.left;
  const int height = control.rect.bottom - control.rect.top;
  if (d.kind == ControlKind::kImage && control.bitmap != nullptr) {
    BITMAP info{};
    GetObjectW(control.bitmap, sizeof(info), &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, control.bitmap);
    BitBlt(dc, offset.x, offset.y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  } else if (d.kind == ControlKind::kLabel) {
    std::wstring text = WindowText(control.hwnd);
    HGDIOBJ old = SelectObject(dc, control.font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ToColorRef(d.fore.value_or(Colour::System(kColorButtonText))));
    RECT box{offset.x, offset.y, offset.x + width, offset.y + height};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
  }
}

void Form::PaintLightweight(Control& control, HDC dc) {
  const auto& list = description_.controls;
  const ControlDescription& d = list[static_cast<size_t>(control.index)];
  RECT client{};
  GetClientRect(control.hwnd, &client);

  Colour ground = d.container < 0 ? description_.back
                                  : list[static_cast<size_t>(d.container)].back.value_or(
                                        Colour::System(kColorButtonFace));
  const bool see_through = d.kind == ControlKind::kImage || d.transparent;
  if (!see_through) ground = d.back.value_or(Colour::System(kColorButtonFace));
  HBRUSH brush = CreateSolidBrush(ToColorRef(ground));
  FillRect(dc, &client, brush);
  DeleteObject(brush);

  if (see_through) {
    // What lies behind in the same container, from the back forward.
    for (size_t j = list.size(); j-- > static_cast<size_t>(control.index) + 1;) {
      const Control& other = *controls_[j];
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

LRESULT Form::HandleControlMessage(Control& control, UINT message, WPARAM wparam, LPARAM lparam) {
  const ControlDescription& d = description_.controls[static_cast<size_t>(control.index)];
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(control.hwnd, &paint);
      if (d.kind == ControlKind::kFrame) {
        RECT client{};
        GetClientRect(control.hwnd, &client);
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        TEXTMETRICW metrics{};
        HGDIOBJ old = SelectObject(dc, control.font);
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        client.top += metrics.tmHeight / 2;
        DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
      } else {
        PaintLightweight(control, dc);
      }
      EndPaint(control.hwnd, &paint);
      return 0;
    }
    case WM_SETTEXT: {
      LRESULT result = DefWindowProcW(control.hwnd, message, wparam, lparam);
      // Repaint the area, with whatever overlaps it, from the parent down.
      HWND parent = GetParent(control.hwnd);
      RedrawWindow(parent, &control.rect, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
      return result;
    }
    case WM_NCHITTEST:
      if (d.kind != ControlKind::kFrame) return HTTRANSPARENT;
      break;
    default:
      break;
  }
  return DefWindowProcW(control.hwnd, message, wparam, lparam);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, back_brush_);
      return 1;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      int i = IndexOf(reinterpret_cast<HWND>(lparam));
      if (i >= 0 && description_.controls[static_cast<size_t>(i)].kind == ControlKind::kTextBox) {
        // A read-only text box keeps the colours of an editable one.
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
      SetBkColor(dc, ToColorRef(description_.back));
      return reinterpret_cast<LRESULT>(back_brush_);
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam != 0) {
        int i = IndexOf(reinterpret_cast<HWND>(lparam));
        if (i >= 0 && !runtime::Quiet()) Click(description_.controls[static_cast<size_t>(i)].name);
        return 0;
      }
      break;
    case WM_SIZE:
      if (shown_ && !resize_posted_) {
        resize_posted_ = true;
        PostMessageW(hwnd_, kResizeEvent, 0, 0);
      }
      break;
    case kResizeEvent:
      resize_posted_ = false;
      if (!runtime::Quiet()) Form_Resize();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) last_focus_ = focus;
      }
      break;
    case WM_SETFOCUS:
      if (!TabOrder(description_).empty()) {
        if (last_focus_ != nullptr && IsWindow(last_focus_) && IsChild(hwnd_, last_focus_)) {
          SetFocus(last_focus_);
        } else {
          FocusFirstControl();
        }
      } else if (!got_focus_posted_) {
        got_focus_posted_ = true;
        PostMessageW(hwnd_, kGotFocusEvent, 0, 0);
      }
      return 0;
    case kGotFocusEvent:
      got_focus_posted_ = false;
      // The window is drawn before its handler runs: a handler that hands
      // over to another window at once still leaves this one seen, drawn.
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
      if (!runtime::Quiet()) Form_GotFocus();
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Form* self = OwnerOf<Form>(hwnd, message, lparam);
  if (message == WM_NCCREATE && self != nullptr) self->hwnd_ = hwnd;
  if (self == nullptr || self->hwnd_ != hwnd) return DefWindowProcW(hwnd, message, wparam, lparam);
  try {
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->OnDestroyed();
      return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    return self->HandleMessage(message, wparam, lparam);
  } catch (...) {
    runtime::ReportUncaught(std::current_exception());
  }
}

LRESULT CALLBACK Form::ControlProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Control* control = OwnerOf<Control>(hwnd, message, lparam);
  if (message == WM_NCCREATE && control != nullptr) control->hwnd = hwnd;
  if (control == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  try {
    return control->form->HandleControlMessage(*control, message, wparam, lparam);
  } catch (...) {
    runtime::ReportUncaught(std::current_exception());
  }
}

}  // namespace glyphary::windows
