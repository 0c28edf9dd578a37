// A bystander for the restart test, a program of its own beside the driver.
//
//   e2e_witness --log <file>    keeps a hidden top-level window and appends
//                               to <file> the end-of-session messages it gets
//                               ("ready" first, once the window exists)
//   e2e_witness --mark <file>   writes "restarted" to <file> and ends; the
//                               restart test has the system run this once
//                               after a restart
//
// A restart ends every program that has a window, so the bystander shows
// from outside what the system did when the installer asked for it.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

constexpr wchar_t kWitnessClass[] = L"Glyphary.E2EWitness";

std::wstring g_log;

void Append(const std::wstring& path, const std::string& line) {
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\r\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

std::string Hex(LPARAM value) {
  char text[32] = {};
  wsprintfA(text, "0x%08lX", static_cast<unsigned long>(value));
  return text;
}

LRESULT CALLBACK WitnessProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      Append(g_log, "query-end-session " + Hex(lparam));
      return TRUE;
    case WM_ENDSESSION:
      Append(g_log, std::string("end-session ") + (wparam ? "ending " : "cancelled ") + Hex(lparam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 3) return 2;
  const std::wstring mode = argv[1];
  const std::wstring path = argv[2];
  LocalFree(argv);

  if (mode == L"--mark") {
    Append(path, "restarted");
    return 0;
  }
  if (mode != L"--log") return 2;

  g_log = path;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &WitnessProc;
  wc.hInstance = instance;
  wc.lpszClassName = kWitnessClass;
  if (RegisterClassExW(&wc) == 0) return 1;
  HWND window = CreateWindowExW(0, kWitnessClass, L"Glyphary e2e witness", WS_OVERLAPPEDWINDOW,
                                0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  Append(g_log, "ready");

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
