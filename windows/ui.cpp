#include "windows/ui.h"

#include "base/decimal.h"
#include "engine/product.h"
#include "windows/window_base.h"

namespace glyphary::windows {

namespace {

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

bool IsUserInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Tab, Enter and Esc in one of our windows: Tab moves the focus along the
// window's tab order, Enter and Esc press nothing. True when `msg` was such
// a key.
bool HandleDialogKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_CHAR) return false;
  if (msg.wParam != VK_TAB && msg.wParam != VK_RETURN && msg.wParam != VK_ESCAPE) return false;
  HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
  if (root == nullptr || !WindowBase::IsOurs(root)) return false;
  if (msg.wParam == VK_TAB && msg.message == WM_KEYDOWN) {
    SendMessageW(root, kMoveFocusMessage, GetKeyState(VK_SHIFT) < 0 ? 1 : 0, 0);
  }
  return true;
}

}  // namespace

bool SystemHighContrast() {
  HIGHCONTRASTW scheme{};
  scheme.cbSize = sizeof(scheme);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(scheme), &scheme, 0) &&
         (scheme.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Ui::Ui(HINSTANCE instance, HighContrastQuery ask_high_contrast, AnnotationSource annotation)
    : instance_(instance), dpi_(ScreenDpi()), high_contrast_query_(ask_high_contrast),
      accessibility_(annotation) {
  ReadColourScheme();
}

void Ui::ReadColourScheme() { high_contrast_ = high_contrast_query_ != nullptr && high_contrast_query_(); }

bool Ui::ScreenReaderRunning() {
  BOOL running = FALSE;
  return SystemParametersInfoW(SPI_GETSCREENREADER, 0, &running, 0) && running;
}

int Ui::Run() {
  // The loop ends on the WM_QUIT that the last window's destruction posts,
  // whose code is the program's exit code. COM is joined here, once the
  // first windows are up, rather than before them: it costs the first
  // screen nothing. A client's question that reaches a window before (while
  // the first windows are made) gets the system's own object. A program
  // that ends through End leaves the apartment with the process.
  accessibility_.JoinApartment();
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsStaleInput(msg) || HandleDialogKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  accessibility_.LeaveApartment();
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 1;
}

void Ui::HoldInput() { input_held_ = true; }

void Ui::AcceptInput() {
  input_held_ = false;
  input_accepted_ = true;
  input_accepted_at_ = GetTickCount();
  // What the system has queued for this thread by now is stale as a whole.
  MSG stale{};
  while (PeekMessageW(&stale, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
  }
  while (PeekMessageW(&stale, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
  }
}

// Keyboard and mouse input given while input is held, or stamped before it
// was accepted again, was meant for a window that is gone. "Before" means up
// to a minute before (and in the same tick): the age is taken modulo the
// tick count's wrap, so that input stamped afterwards, and a message that
// carries no real time stamp, are never taken for stale.
bool Ui::IsStaleInput(const MSG& msg) const {
  constexpr DWORD kStaleSpan = 60000;  // ms
  if (!IsUserInput(msg.message)) return false;
  if (input_held_) return true;
  return input_accepted_ && input_accepted_at_ - msg.time < kStaleSpan;
}

void Ui::End(int exit_code) {
  ending_ = true;
  ExitProcess(static_cast<UINT>(exit_code));
}

void Ui::ReportError(const Error& error, int exit_code) {
  if (ending_) End(exit_code);  // already ending or showing the box: no second box
  ending_ = true;
  // Keys typed ahead (a Space, an Enter) would dismiss the box unread.
  AcceptInput();
  const WideText text = ErrorBoxText(error);
  MessageBoxW(nullptr, text.c_str(), engine::kProductName.data(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
  End(exit_code);
}

void Ui::WindowDestroyed() {
  if (--live_windows_ == 0) PostQuitMessage(0);
}

WideText ErrorBoxText(const Error& error) {
  WideText text(L"Run-time error '");
  AppendDecimal(text, error.Number());
  text.Append(L"':\n\n").Append(error.Description());
  if (!error.Path().empty()) text.Append(L"\n\n").Append(error.Path());
  if (!error.Advice().empty()) text.Append(L"\n\n").Append(error.Advice());
  return text;
}

void ReportOutOfMemory() {
  MessageBoxW(nullptr, L"Run-time error '7':\n\nOut of memory", engine::kProductName.data(),
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
  ExitProcess(1);
}

}  // namespace glyphary::windows
