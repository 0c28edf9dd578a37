#include "windows/runtime/runtime.h"

#include <new>
#include <vector>

#include "platform/decimal.h"
#include "platform/error.h"
#include "windows/runtime/form.h"

namespace glyphary::windows::runtime {

namespace {

HINSTANCE g_instance = nullptr;
int g_dpi = 0;
int g_live_windows = 0;
bool g_quiet = false;

std::vector<Form*>& Forms() {
  static std::vector<Form*> forms;
  return forms;
}

// Keys the forms handle themselves: Tab moves the focus by tab index, and
// no window has a default or cancel button, so Enter and Esc press nothing.
bool HandleFormKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_KEYUP && msg.message != WM_CHAR) return false;
  Form* form = FormOf(msg.hwnd);
  if (form == nullptr) return false;
  if (msg.wParam == VK_TAB) {
    if (msg.message == WM_KEYDOWN) form->MoveFocus(GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
}

}  // namespace

void SetInstance(HINSTANCE instance) { g_instance = instance; }

HINSTANCE Instance() { return g_instance != nullptr ? g_instance : GetModuleHandleW(nullptr); }

int Dpi() {
  if (g_dpi == 0) {
    HDC screen = GetDC(nullptr);
    g_dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    if (g_dpi <= 0) g_dpi = 96;
  }
  return g_dpi;
}

int Run() {
  // The loop ends on the WM_QUIT that the last window's destruction posts,
  // whose code is the program's exit code.
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (HandleFormKey(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 1;
}

void End(int exit_code) {
  g_quiet = true;
  for (Form* form : Forms()) form->Unload();
  ExitProcess(static_cast<UINT>(exit_code));
}

std::wstring ErrorBoxText(std::exception_ptr error) {
  int number = 51;
  std::wstring description = L"Internal error";
  try {
    std::rethrow_exception(error);
  } catch (const Error& e) {
    number = e.Number();
    description = e.Description();
  } catch (const std::bad_alloc&) {
    number = 7;
    description = L"Out of memory";
  } catch (const std::exception& e) {
    description = L"Internal error: ";
    for (const char* c = e.what(); *c != '\0'; ++c) description += static_cast<wchar_t>(*c);
  } catch (...) {
  }
  return L"Run-time error '" + DecimalText(number) + L"':\n\n" + description;
}

void ReportUncaught(std::exception_ptr error) {
  if (g_quiet) End(1);  // already ending or showing the box: no second box
  g_quiet = true;
  std::wstring text = ErrorBoxText(error);
  MessageBoxW(nullptr, text.c_str(), L"Glyphary Installer",
              MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TASKMODAL);
  End(1);
}

bool Quiet() { return g_quiet; }

void Enrol(Form* form) { Forms().push_back(form); }

Form* FormOf(HWND window) {
  if (window == nullptr) return nullptr;
  HWND root = GetAncestor(window, GA_ROOT);
  for (Form* form : Forms()) {
    if (form->hwnd() != nullptr && form->hwnd() == root) return form;
  }
  return nullptr;
}

void WindowCreated() { ++g_live_windows; }

void WindowDestroyed() {
  if (--g_live_windows == 0) PostQuitMessage(0);
}

}  // namespace glyphary::windows::runtime
