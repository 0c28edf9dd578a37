#include "windows/controls.h"

#include <cwchar>

#include <oleacc.h>

#include "base/decimal.h"
#include "windows/accessibility.h"
#include "windows/ui.h"

namespace glyphary::windows {

namespace {

// Our own classes: labels and pictures, which we draw with whatever lies
// behind them, and frames.
constexpr wchar_t kLightweightClass[] = L"Glyphary.Lightweight";
constexpr wchar_t kFrameClass[] = L"Glyphary.Frame";

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style;
  long role;  // what a screen reader calls it
};

// One row a kind of control, in ControlKind order. The one text box shows
// the agreement: read-only, several lines, a vertical scroll bar.
constexpr ControlClass kClasses[] = {
    /* kLabel */ {kLightweightClass, kChild, 0, ROLE_SYSTEM_STATICTEXT},
    /* kPicture */ {kLightweightClass, kChild, 0, ROLE_SYSTEM_GRAPHIC},
    /* kTextBox */
    {L"EDIT", kChild | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | ES_READONLY,
     WS_EX_CLIENTEDGE, ROLE_SYSTEM_TEXT},
    /* kButton */ {L"BUTTON", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, ROLE_SYSTEM_PUSHBUTTON},
    /* kFrame */ {kFrameClass, kChild | WS_CLIPCHILDREN, 0, ROLE_SYSTEM_GROUPING},
    /* kCheckBox */ {L"BUTTON", kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 0, ROLE_SYSTEM_CHECKBUTTON},
};

bool IsLightweight(ControlKind kind) {
  return kind == ControlKind::kLabel || kind == ControlKind::kPicture;
}

RECT PixelBox(const Box& box, int dpi) {
  const int left = TwipsToPixels(box.left, dpi);
  const int top = TwipsToPixels(box.top, dpi);
  return RECT{left, top, left + TwipsToPixels(box.width, dpi), top + TwipsToPixels(box.height, dpi)};
}

Error ResourceMissing(int id) {
  Error error(errors::kResourceNotFound, L"Resource not found");
  error.At(Joined(L"resource ", DecimalText(id)));
  return error;
}

Error RegisterOnce(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (GetClassInfoExW(instance, name, &wc)) return Error();
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.lpszClassName = name;
  return RegisterClassExW(&wc) != 0 ? Error() : errors::Make(errors::kOutOfMemory);
}

WideText WindowText(HWND window) {
  WideText text;
  const int length = GetWindowTextLengthW(window);
  text.Resize(static_cast<size_t>(length));
  text.Resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

void DrawBitmap(HDC dc, HBITMAP bitmap, POINT at) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  MemoryDc memory(dc);
  SelectedObject picture(memory.get(), bitmap);
  BitBlt(dc, at.x, at.y, info.bmWidth, info.bmHeight, memory.get(), 0, 0, SRCCOPY);
}

// A label's caption: transparent ground, left-aligned and broken at words
// within `box`, no prefix characters.
void DrawCaption(HDC dc, HFONT font, COLORREF colour, std::wstring_view text, RECT box) {
  SelectedObject selected(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &box, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

}  // namespace

Error LoadTextResource(HINSTANCE instance, int id, WideText& text) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return ResourceMissing(id);
  const int size = static_cast<int>(SizeofResource(instance, found));
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes, size, nullptr, 0);
  text.Resize(static_cast<size_t>(length));
  MultiByteToWideChar(CP_ACP, 0, bytes, size, text.data(), length);
  return Error();
}

Error Controls::Keep(HGDIOBJ object) const {
  if (object == nullptr || gdi_count_ == sizeof(gdi_) / sizeof(gdi_[0])) {
    if (object != nullptr) DeleteObject(object);
    return errors::Make(errors::kOutOfMemory);
  }
  gdi_[gdi_count_++] = GdiObject(object);
  return Error();
}

void Controls::Clear() {
  made_.Clear();
  fonts_.Clear();
  for (std::size_t i = 0; i < gdi_count_; ++i) gdi_[i].Reset();
  gdi_count_ = 0;
  fixed_ground_brush_ = nullptr;
  last_focus_ = nullptr;
}

Error Controls::Create(Ui& ui, HWND window, Colour ground, const ControlRow* rows,
                       std::size_t count) {
  Clear();
  ui_ = &ui;
  ground_ = ground;
  if (!ground.system) {
    fixed_ground_brush_ = CreateSolidBrush(RGB(ground.r, ground.g, ground.b));
    if (Error error = Keep(fixed_ground_brush_)) return error;
  }
  for (const wchar_t* name : {kLightweightClass, kFrameClass}) {
    if (Error error = RegisterOnce(ui.instance(), name, &Procedure)) return error;
  }
  for (std::size_t i = 0; i < count; ++i) {
    Made made;
    made.row = &rows[i];
    made.rect = PixelBox(rows[i].box, ui.dpi());
    (void)made_.Add(made);
  }
  // Frames first, so that the controls they hold have their parent.
  for (bool frames : {true, false}) {
    for (Made& made : made_) {
      if ((made.row->kind == ControlKind::kFrame) != frames) continue;
      if (Error error = CreateOne(made, window)) return error;
    }
  }
  // Stack the controls of each container front to back as listed: the
  // order of the screen, in which a screen reader lists them. (The system
  // puts a new child behind its siblings, so created in the list's order
  // they mostly stand as they should already.)
  for (std::size_t i = 0; i < made_.size(); ++i) {
    HWND control = made_[i].window;
    if (control == nullptr) continue;
    HWND after = HWND_TOP;
    for (std::size_t j = i; j-- > 0;) {
      if (made_[j].window != nullptr && made_[j].row->container == made_[i].row->container) {
        after = made_[j].window;
        break;
      }
    }
    const HWND in_front = GetWindow(control, GW_HWNDPREV);
    if (after == HWND_TOP ? in_front == nullptr : in_front == after) continue;
    SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  return Error();
}

Error Controls::CreateOne(Made& c, HWND window) {
  const ControlRow& row = *c.row;
  const Made* container = row.container != 0 ? Find(row.container) : nullptr;
  c.parent = container != nullptr ? container->window : window;
  if (!row.drawn) {
    const ControlClass made = kClasses[static_cast<int>(row.kind)];
    // A text box gets its text after its font, so that it lays the text out
    // once, in the font it shows it in.
    const bool text_later = row.kind == ControlKind::kTextBox;
    c.window = CreateWindowExW(made.ex_style, made.window_class, text_later ? L"" : row.text,
                               made.style, c.rect.left, c.rect.top, c.rect.right - c.rect.left,
                               c.rect.bottom - c.rect.top, c.parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                               ui_->instance(), this);
    if (c.window == nullptr) return errors::Make(errors::kOutOfMemory);
    if (made.window_class != kLightweightClass && made.window_class != kFrameClass) {
      // A system control: it tells the accessible object its name and
      // description, and answers WM_GETOBJECT only where the system cannot
      // annotate (Wine, whose objects also lack its role and state); every
      // other message goes to its own procedure.
      SetWindowLongPtrW(c.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      c.system_procedure = reinterpret_cast<WNDPROC>(
          SetWindowLongPtrW(c.window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Procedure)));
    }
  }

  if (Error error = FitCaption(c)) return error;
  if (c.window != nullptr) SendMessageW(c.window, WM_SETFONT, reinterpret_cast<WPARAM>(c.font), FALSE);
  if (row.kind == ControlKind::kTextBox && row.resource != 0) {
    WideText text;
    if (Error error = LoadTextResource(ui_->instance(), row.resource, text)) return error;
    SetWindowTextW(c.window, text.c_str());
  }
  if (row.kind == ControlKind::kPicture && row.resource != 0) {
    c.bitmap = static_cast<HBITMAP>(LoadImageW(ui_->instance(), MAKEINTRESOURCEW(row.resource),
                                               IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (c.bitmap == nullptr) return ResourceMissing(row.resource);
    if (Error error = Keep(c.bitmap)) return error;
  }
  return Error();
}

Error Controls::FitCaption(Made& c) {
  // The design size; smaller, a pixel at a time, while the caption would not
  // fit its box in the face this machine has (down to four fifths).
  const Font& font = *c.row->font;
  const int smallest = -SmallestFontHeight(font.points, ui_->dpi());
  int pixels = -FontHeightForPoints(font.points, ui_->dpi());
  if (Error error = FontFor(font, -pixels, c.font)) return error;
  while (pixels > smallest && !CaptionFits(c)) {
    if (Error error = FontFor(font, -(--pixels), c.font)) return error;
  }
  return Error();
}

Error Controls::FontFor(const Font& font, int height, HFONT& handle) {
  // Controls that share a font and height share one font object.
  for (const MadeFont& made : fonts_) {
    if (made.height == height && made.font == &font) {
      handle = made.handle;
      return Error();
    }
  }
  // Text must scale with the DPI: a bitmap face is asked for as its
  // TrueType twin; where that is missing (Wine), the system's closest
  // TrueType face still scales, and the caption fitting makes up for its
  // other widths. Other faces are asked for as they are.
  const wchar_t* face = ScalableFace(font.face);
  const BYTE precision = std::wcscmp(face, font.face) == 0 ? OUT_DEFAULT_PRECIS : OUT_TT_ONLY_PRECIS;
  handle = CreateFontW(height, 0, 0, 0, font.weight, font.italic, FALSE, FALSE, ANSI_CHARSET,
                       precision, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       face);
  if (Error error = Keep(handle)) return error;
  if (!fonts_.Add(MadeFont{&font, height, handle})) return errors::Make(errors::kOutOfMemory);
  return Error();
}

bool Controls::CaptionFits(const Made& c) const {
  // Labels and check boxes show one caption in a box designed for it.
  const ControlKind kind = c.row->kind;
  if (kind != ControlKind::kLabel && kind != ControlKind::kCheckBox) return true;
  const std::wstring_view text = c.row->text;
  if (text.empty()) return true;
  int width = c.rect.right - c.rect.left;
  const int height = c.rect.bottom - c.rect.top;
  if (kind == ControlKind::kCheckBox) {
    // The box and the gap before the caption.
    width -= GetSystemMetrics(SM_CXMENUCHECK) + MulDiv(4, ui_->dpi(), 96);
  }
  WindowDc dc(c.window != nullptr ? c.window : c.parent);
  SelectedObject selected(dc.get(), c.font);
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

const Controls::Made* Controls::Find(int id) const {
  for (const Made& made : made_) {
    if (made.row->id == id) return &made;
  }
  return nullptr;
}

HWND Controls::Get(int id) const {
  const Made* made = Find(id);
  return made != nullptr ? made->window : nullptr;
}

void Controls::MoveFocus(const int* tab_order, std::size_t count, bool backwards, bool first) const {
  FixedList<HWND, kMaxControls> order;
  for (std::size_t i = 0; i < count; ++i) {
    HWND window = Get(tab_order[i]);
    if (window != nullptr && IsWindowEnabled(window) && IsWindowVisible(window)) (void)order.Add(window);
  }
  if (order.empty()) return;
  const std::size_t n = order.size();
  std::size_t next = backwards ? n - 1 : 0;
  if (!first) {
    HWND focus = GetFocus();
    for (std::size_t k = 0; k < n; ++k) {
      if (order[k] == focus) next = backwards ? (k + n - 1) % n : (k + 1) % n;
    }
  }
  SetFocus(order[next]);
}

bool Controls::high_contrast() const { return ui_ != nullptr && ui_->high_contrast(); }

HBRUSH Controls::GroundBrush() const {
  const int index = ground_.SystemIndex(high_contrast());
  return index >= 0 ? GetSysColorBrush(index) : fixed_ground_brush_;
}

bool Controls::HandleShared(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                            const int* tab_order, std::size_t count, LRESULT& result) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(window, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, GroundBrush());
      result = 1;
      return true;
    }
    case WM_PAINT: {
      // The decorations on the window's own ground, from the back forward.
      // They are painted, not part of the ground: showing the window erases
      // it at once, while painting waits until the message queue is empty,
      // so the windows that follow do not wait for the drawing.
      bool decorated = false;
      for (const Made& c : made_) decorated = decorated || (c.row->drawn && c.row->container == 0);
      if (!decorated) return false;
      PaintScope paint(window);
      for (std::size_t j = made_.size(); j-- > 0;) {
        const Made& c = made_[j];
        if (c.row->drawn && c.row->container == 0) Draw(c, paint.get(), POINT{c.rect.left, c.rect.top});
      }
      result = 0;
      return true;
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      const Made* made = nullptr;
      for (const Made& c : made_) {
        if (c.window == reinterpret_cast<HWND>(lparam)) made = &c;
      }
      if (made != nullptr && made->row->kind == ControlKind::kTextBox) {
        // A read-only text box keeps the colours of an editable one.
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      } else {
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        SetBkColor(dc, ground_.ToColorRef(high_contrast()));
        result = reinterpret_cast<LRESULT>(GroundBrush());
      }
      return true;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // Another colour scheme, or high contrast switched on or off: all of
      // the window again, in the colours that now apply.
      if (ui_ != nullptr) ui_->ReadColourScheme();
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      result = DefWindowProcW(window, message, wparam, lparam);
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) last_focus_ = focus;
      }
      result = DefWindowProcW(window, message, wparam, lparam);
      return true;
    case WM_SETFOCUS:
      if (count == 0) return false;  // nothing to take it: the window keeps it
      if (last_focus_ != nullptr && IsWindow(last_focus_) && IsChild(window, last_focus_)) {
        SetFocus(last_focus_);
      } else {
        MoveFocus(tab_order, count, false, true);
      }
      result = 0;
      return true;
    case kMoveFocusMessage:
      MoveFocus(tab_order, count, wparam != 0, false);
      result = 0;
      return true;
    default:
      return false;
  }
}

void Controls::Draw(const Made& c, HDC dc, POINT offset) const {
  if (c.row->kind == ControlKind::kPicture && c.bitmap != nullptr) {
    DrawPicture(c, dc, offset);
  } else if (c.row->kind == ControlKind::kLabel) {
    const RECT box{offset.x, offset.y, offset.x + (c.rect.right - c.rect.left),
                   offset.y + (c.rect.bottom - c.rect.top)};
    const COLORREF colour = c.row->fore.ToColorRef(high_contrast());
    if (c.window != nullptr) {
      DrawCaption(dc, c.font, colour, WindowText(c.window), box);
    } else {
      DrawCaption(dc, c.font, colour, c.row->text, box);
    }
  }
}

// A picture as it is; under high contrast in two of the scheme's colours:
// what shows the ground colour of the design in the window colour, the rest
// (the glyph, the bars) in the window-text colour. A full-colour picture
// would keep its light-blue ground as a block on a dark scheme.
void Controls::DrawPicture(const Made& c, HDC dc, POINT at) const {
  if (!high_contrast() || ground_.system) {
    DrawBitmap(dc, c.bitmap, at);
    return;
  }
  BITMAP info{};
  GetObjectW(c.bitmap, sizeof(info), &info);
  if (c.outline == nullptr) {
    // One bit a pixel: copying a colour picture into it sets the pixels of
    // the source's background colour, here the design's ground, and clears
    // the others.
    HBITMAP outline = CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr);
    if (outline == nullptr || Keep(outline)) return;  // out of GDI objects: nothing drawn
    MemoryDc colour(dc);
    MemoryDc mono(dc);
    SelectedObject picture(colour.get(), c.bitmap);
    SelectedObject bits(mono.get(), outline);
    SetBkColor(colour.get(), RGB(ground_.r, ground_.g, ground_.b));
    BitBlt(mono.get(), 0, 0, info.bmWidth, info.bmHeight, colour.get(), 0, 0, SRCCOPY);
    c.outline = outline;
  }
  // Copied onto a colour surface, set bits take its background colour and
  // clear ones its text colour.
  MemoryDc mono(dc);
  SelectedObject bits(mono.get(), c.outline);
  const COLORREF text = SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const COLORREF back = SetBkColor(dc, GetSysColor(ground_.system_index));
  BitBlt(dc, at.x, at.y, info.bmWidth, info.bmHeight, mono.get(), 0, 0, SRCCOPY);
  SetTextColor(dc, text);
  SetBkColor(dc, back);
}

// A frame: the ground, and a border whose top runs half a text line down,
// as a group box's does: etched, or under high contrast a line in the
// scheme's text colour, which stands out where an etched edge's greys may
// not.
void Controls::DrawFrame(const Made& c, HDC dc) const {
  RECT client{};
  GetClientRect(c.window, &client);
  FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  TEXTMETRICW metrics{};
  {
    SelectedObject selected(dc, c.font);
    GetTextMetricsW(dc, &metrics);
  }
  client.top += metrics.tmHeight / 2;
  if (high_contrast()) {
    FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWTEXT));
  } else {
    DrawEdge(dc, &client, EDGE_ETCHED, BF_RECT);
  }
}

void Controls::Paint(const Made& c, HDC dc) const {
  RECT client{};
  GetClientRect(c.window, &client);
  const bool see_through = c.row->kind == ControlKind::kPicture || c.row->transparent;
  // A control inside a frame stands on the frame's face.
  if (see_through && c.row->container == 0) {
    FillRect(dc, &client, GroundBrush());
  } else {
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
  }
  if (see_through) {
    // What lies behind in the same container, from the back forward.
    const Made* self = &c;
    for (std::size_t j = made_.size(); j-- > 0 && &made_[j] != self;) {
      const Made& other = made_[j];
      RECT overlap{};
      if (other.row->container != c.row->container || !IsLightweight(other.row->kind) ||
          !IntersectRect(&overlap, &other.rect, &c.rect)) {
        continue;
      }
      Draw(other, dc, POINT{other.rect.left - c.rect.left, other.rect.top - c.rect.top});
    }
  }
  Draw(c, dc, POINT{0, 0});
}

// What a screen reader hears of a control beyond what the system says:
// its name where the table gives one (a label's is its text), the text of
// the control that describes it, its kind's role, a ticked box's state, a
// live region's politeness. The role and state of the system's controls
// are marked as the system's own: only the wrapper that stands in for the
// system's object tells them.
LRESULT Controls::Speak(const Made& c, WPARAM aspect, LPARAM lparam) const {
  SpokenAnswer& answer = *reinterpret_cast<SpokenAnswer*>(lparam);
  switch (aspect) {
    case kSpokenName:
      if (c.row->spoken_name != nullptr) {
        SetSpokenText(answer, c.row->spoken_name);
        return 1;
      }
      if (c.row->kind != ControlKind::kLabel) return 0;
      SetSpokenTextOf(answer, c.window);
      return 1;
    case kSpokenDescription: {
      HWND source = c.row->described_by != 0 ? Get(c.row->described_by) : nullptr;
      if (source == nullptr) return 0;
      SetSpokenTextOf(answer, source);
      return 1;
    }
    case kSpokenRole:
      // The control's client area; its window object stays a window.
      if (answer.object_id != OBJID_CLIENT) return 0;
      answer.role = kClasses[static_cast<int>(c.row->kind)].role;
      answer.system_knows = c.system_procedure != nullptr;
      return 1;
    case kSpokenState:
      if (c.row->kind != ControlKind::kCheckBox ||
          SendMessageW(c.window, BM_GETCHECK, 0, 0) != BST_CHECKED) {
        return 0;
      }
      answer.state = STATE_SYSTEM_CHECKED;
      answer.system_knows = true;
      return 1;
    case kSpokenLive:
      if (!c.row->live_region) return 0;
      answer.live = 1;  // LiveSetting Polite
      return 1;
    default:
      return 0;
  }
}

LRESULT Controls::ControlMessage(Made& c, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_GETOBJECT:
      if (const LRESULT object = ui_->accessibility().Answer(c.window, wparam, lparam)) return object;
      break;
    case WM_NCDESTROY:
      ui_->accessibility().WindowGone(c.window);
      break;
    case kSpokenMessage:
      return Speak(c, wparam, lparam);
    default:
      break;
  }
  if (c.system_procedure != nullptr) {
    return CallWindowProcW(c.system_procedure, c.window, message, wparam, lparam);
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintScope paint(c.window);
      if (c.row->kind == ControlKind::kFrame) {
        DrawFrame(c, paint.get());
      } else {
        Paint(c, paint.get());
      }
      return 0;
    }
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(c.window, message, wparam, lparam);
      // Repaint the area, with whatever overlaps it, from the parent down.
      RedrawWindow(GetParent(c.window), &c.rect, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
      return result;
    }
    case WM_NCHITTEST:
      // Clicks go through labels and pictures to the window.
      if (c.row->kind != ControlKind::kFrame) return HTTRANSPARENT;
      break;
    default:
      break;
  }
  return DefWindowProcW(c.window, message, wparam, lparam);
}

// The procedure of our own controls, and of the system controls we answer
// for besides (their own procedure gets every other message).
LRESULT CALLBACK Controls::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                                 reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* self = reinterpret_cast<Controls*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr) {
    for (Made& made : self->made_) {
      if (made.window == window) return self->ControlMessage(made, message, wparam, lparam);
    }
  }
  // A system control no longer in the table: its class's own procedure.
  const auto own = reinterpret_cast<WNDPROC>(GetClassLongPtrW(window, GCLP_WNDPROC));
  if (own != nullptr && own != &Procedure) return CallWindowProcW(own, window, message, wparam, lparam);
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace glyphary::windows
