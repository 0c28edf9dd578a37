// The installer's first screen made with direct Win32 calls and nothing
// else: the maximised light-blue backdrop with the splash picture and the two
// title labels, then the agreement window with its read-only text box and
// its two buttons, shown and active. Its start-up time under Wine, to the
// agreement window being visible, is the floor the installer's start-up is
// measured against: the least a program that puts the same pixels on the
// screen has to do.
//
// The same resources, fonts, positions and styles as the installer, sizes in
// twips scaled to the screen's DPI; none of its machinery (no control tables,
// no child windows for the labels and the picture, no caption fitting, no
// moving onto the work area, no keyboard handling, no C++ library). The
// buttons do nothing; closing the agreement window ends the program.
#include <windows.h>

#include "bench/floor_two_windows.h"

namespace {

constexpr wchar_t kBackdropClass[] = L"GlypharyBench.Backdrop";
constexpr wchar_t kAgreementClass[] = L"GlypharyBench.Agreement";
constexpr wchar_t kTitle[] = L"Glyphary Installer";

int g_dpi = 96;
HBITMAP g_splash = nullptr;
HFONT g_title_font = nullptr;
HWND g_text = nullptr;

// Pixels for twips at the screen's DPI, rounded to the nearest (15 twips a
// pixel at 96 DPI).
int Pixels(int twips) { return MulDiv(twips, g_dpi, 1440); }

// A box given as left, top, width and height in twips, in pixels; each of
// the four scaled on its own, as the installer scales them.
RECT Box(int left, int top, int width, int height) {
  const int x = Pixels(left);
  const int y = Pixels(top);
  return RECT{x, y, x + Pixels(width), y + Pixels(height)};
}

// The picture unscaled at the top-left corner, then the window-text copy of
// the title and over it, 7 px further left, the dark-blue one. Both are
// transparent: the class brush has already laid the backdrop colour.
void PaintBackdrop(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);

  BITMAP picture{};
  GetObjectW(g_splash, sizeof(picture), &picture);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old_bitmap = SelectObject(memory, g_splash);
  BitBlt(dc, 0, 0, picture.bmWidth, picture.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old_bitmap);
  DeleteDC(memory);

  HGDIOBJ old_font = SelectObject(dc, g_title_font);
  SetBkMode(dc, TRANSPARENT);
  constexpr UINT kFormat = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
  RECT behind = Box(4080, 480, 10695, 1575);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  DrawTextW(dc, kTitle, -1, &behind, kFormat);
  RECT front = Box(3975, 480, 11760, 1575);
  SetTextColor(dc, RGB(0, 0, 192));
  DrawTextW(dc, kTitle, -1, &front, kFormat);
  SelectObject(dc, old_font);

  EndPaint(window, &paint);
}

LRESULT CALLBACK BackdropProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_PAINT) {
    PaintBackdrop(window);
    return 0;
  }
  return DefWindowProcW(window, message, w, l);
}

LRESULT CALLBACK AgreementProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
      // A read-only text box would be grey; the installer's keeps the
      // colours of an editable one.
      if (reinterpret_cast<HWND>(l) == g_text) {
        HDC dc = reinterpret_cast<HDC>(w);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
      }
      break;
    case WM_SETFOCUS:
      // Activating the window puts the keyboard focus in the text box.
      SetFocus(g_text);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window, message, w, l);
}

HWND Child(HWND parent, const wchar_t* window_class, const wchar_t* text, DWORD style,
           DWORD ex_style, const RECT& box, int id, HINSTANCE instance, HFONT font) {
  HWND child = CreateWindowExW(ex_style, window_class, text, WS_CHILD | WS_VISIBLE |
                               WS_CLIPSIBLINGS | WS_TABSTOP | style, box.left, box.top,
                               box.right - box.left, box.bottom - box.top, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                               nullptr);
  if (child != nullptr) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return child;
}

// The agreement text: the ANSI bytes of the RCDATA resource, widened. Null
// when it is missing; the caller frees it with HeapFree.
wchar_t* AgreementText(HINSTANCE instance) {
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(FLOOR_AGREEMENT_TEXT),
                              MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
  const char* bytes = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
  if (bytes == nullptr) return nullptr;
  const int size = static_cast<int>(SizeofResource(instance, found));
  auto* text = static_cast<wchar_t*>(
      HeapAlloc(GetProcessHeap(), 0, (static_cast<SIZE_T>(size) + 1) * sizeof(wchar_t)));
  if (text == nullptr) return nullptr;
  const int length = MultiByteToWideChar(CP_ACP, 0, bytes, size, text, size);
  text[length] = L'\0';
  return text;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // The installer declares itself DPI-aware and scales its twips itself.
  SetProcessDPIAware();
  HDC screen = GetDC(nullptr);
  g_dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);

  WNDCLASSEXW backdrop_class{};
  backdrop_class.cbSize = sizeof(backdrop_class);
  backdrop_class.lpfnWndProc = BackdropProc;
  backdrop_class.hInstance = instance;
  backdrop_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  backdrop_class.hbrBackground = CreateSolidBrush(RGB(128, 128, 255));
  backdrop_class.lpszClassName = kBackdropClass;

  WNDCLASSEXW agreement_class = backdrop_class;
  agreement_class.lpfnWndProc = AgreementProc;
  agreement_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  agreement_class.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(FLOOR_DIALOG_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
  agreement_class.hIconSm = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(FLOOR_DIALOG_ICON), IMAGE_ICON,
                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  agreement_class.lpszClassName = kAgreementClass;
  if (RegisterClassExW(&backdrop_class) == 0 || RegisterClassExW(&agreement_class) == 0) return 1;

  // The backdrop: borderless, shown maximised; restored, its client area
  // would be 1024 x 338 px at 4, 30 px (at 96 DPI).
  g_splash = static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(FLOOR_SPLASH), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  g_title_font = CreateFontW(-MulDiv(48, g_dpi, 72), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE,
                             ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Impact");
  if (g_splash == nullptr || g_title_font == nullptr) return 1;
  const RECT restored = Box(60, 450, 15360, 5070);
  HWND backdrop = CreateWindowExW(0, kBackdropClass, L"", WS_POPUP, restored.left, restored.top,
                                  restored.right - restored.left, restored.bottom - restored.top,
                                  nullptr, nullptr, instance, nullptr);
  if (backdrop == nullptr) return 1;
  ShowWindow(backdrop, SW_SHOWMAXIMIZED);

  // The agreement window: a fixed single border, an empty caption, the close
  // button only; its client area 406 x 418 px at 591, 328 px (at 96 DPI).
  constexpr DWORD kAgreementStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
  RECT frame = Box(8865, 4920, 6090, 6270);
  AdjustWindowRectEx(&frame, kAgreementStyle, FALSE, 0);
  HWND agreement = CreateWindowExW(0, kAgreementClass, L"", kAgreementStyle, frame.left,
                                   frame.top, frame.right - frame.left, frame.bottom - frame.top,
                                   nullptr, nullptr, instance, nullptr);
  if (agreement == nullptr) return 1;

  // MS Sans Serif 8.25 pt as its scalable TrueType twin, as the installer
  // asks for it, so that it scales with the DPI.
  HFONT font = CreateFontW(-MulDiv(825, g_dpi, 7200), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           ANSI_CHARSET, OUT_TT_ONLY_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Microsoft Sans Serif");
  // Created front to back, so that each lies under the ones before it.
  Child(agreement, L"BUTTON", L"Accept", BS_PUSHBUTTON, 0, Box(360, 5640, 1215, 495), 201,
        instance, font);
  Child(agreement, L"BUTTON", L"Cancel", BS_PUSHBUTTON, 0, Box(4320, 5640, 1215, 495), 202,
        instance, font);
  // The text goes in after the font, so that the box lays it out once.
  g_text = Child(agreement, L"EDIT", L"",
                 ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_VSCROLL,
                 WS_EX_CLIENTEDGE, Box(120, 120, 5775, 5415), 203, instance, font);
  wchar_t* text = AgreementText(instance);
  if (g_text == nullptr || text == nullptr) return 1;
  SetWindowTextW(g_text, text);
  HeapFree(GetProcessHeap(), 0, text);
  ShowWindow(agreement, SW_SHOWNORMAL);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
