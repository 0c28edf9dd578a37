#include "tests/e2e/driver/desktop.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace glyphary::e2e {

namespace {

struct EnumState {
  DWORD pid;
  const std::wstring* class_name;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == state->pid &&
      (state->class_name->empty() || ClassOf(window) == *state->class_name)) {
    state->found->push_back(window);
  }
  return TRUE;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

GUITHREADINFO GuiInfo(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(ThreadOf(window), &info)) info = GUITHREADINFO{};
  return info;
}

INPUT Key(WORD virtual_key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtual_key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
  switch (virtual_key) {
    case VK_DELETE: case VK_INSERT: case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
      input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
      break;
    default:
      break;
  }
  if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
  return input;
}

void Send(std::vector<INPUT>& inputs) {
  if (inputs.empty()) return;
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// SendInput's absolute coordinates run from 0 to 65535 across the screen.
LONG Normalised(int pixel, int extent) {
  return static_cast<LONG>((static_cast<long long>(pixel) * 65536 + extent - 1) / extent);
}

}  // namespace

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  int length = GetClassNameW(window, name, 256);
  return std::wstring(name, static_cast<size_t>(length > 0 ? length : 0));
}

std::wstring CaptionOf(HWND window) {
  std::wstring text(4096, L'\0');
  int length = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(length > 0 ? length : 0));
  return text;
}

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) {
    return std::wstring();
  }
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return std::wstring();
  }
  text.resize(static_cast<size_t>(copied));
  return text;
}

std::vector<HWND> TopLevelWindows(DWORD pid, const std::wstring& class_name) {
  std::vector<HWND> found;
  EnumState state{pid, &class_name, &found};
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&state));
  return found;
}

HWND VisibleWindow(DWORD pid, const std::wstring& class_name) {
  HWND result = nullptr;
  for (HWND window : TopLevelWindows(pid, class_name)) {
    if (!IsWindowVisible(window)) continue;
    if (result != nullptr) return nullptr;  // more than one: not "the" window
    result = window;
  }
  return result;
}

HWND Child(HWND parent, int id) { return GetDlgItem(parent, id); }

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "(" << box.left << "," << box.top << ") " << box.width << "x" << box.height;
}

Box WindowBox(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return Box{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Box WorkAreaFor(const Box& box) {
  RECT rect{box.left, box.top, box.left + box.width, box.top + box.height};
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  return Box{work.left, work.top, work.right - work.left, work.bottom - work.top};
}

bool InsideWorkArea(const Box& box) {
  const Box work = WorkAreaFor(box);
  return box.left >= work.left && box.top >= work.top &&
         box.left + box.width <= work.left + work.width &&
         box.top + box.height <= work.top + work.height;
}

Box ClientBox(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  return Box{origin.x, origin.y, rect.right - rect.left, rect.bottom - rect.top};
}

Box BoxInParent(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  MapWindowPoints(nullptr, GetParent(child), corners, 2);
  return Box{corners[0].x, corners[0].y, corners[1].x - corners[0].x, corners[1].y - corners[0].y};
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR ExStyleOf(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }

HWND FocusIn(HWND window) { return GuiInfo(window).hwndFocus; }
HWND ActiveIn(HWND window) { return GuiInfo(window).hwndActive; }

bool WaitFor(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() - start >= timeout_ms) return condition();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

bool MakeForeground(HWND window) {
  // Under X the window manager may still be handing the focus to a window
  // it has just mapped, and take it back once: ask again until it stays.
  for (int attempt = 0; attempt < 10; ++attempt) {
    SetForegroundWindow(window);
    if (WaitFor([&] { return GetForegroundWindow() == window; }, 500) &&
        !WaitFor([&] { return GetForegroundWindow() != window; }, 200)) {
      return true;
    }
  }
  return GetForegroundWindow() == window;
}

void PressKey(WORD virtual_key, bool shift, bool control, bool alt) {
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(Key(VK_SHIFT, false));
  if (control) inputs.push_back(Key(VK_CONTROL, false));
  if (alt) inputs.push_back(Key(VK_MENU, false));
  inputs.push_back(Key(virtual_key, false));
  inputs.push_back(Key(virtual_key, true));
  if (alt) inputs.push_back(Key(VK_MENU, true));
  if (control) inputs.push_back(Key(VK_CONTROL, true));
  if (shift) inputs.push_back(Key(VK_SHIFT, true));
  Send(inputs);
}

void TypeText(const std::wstring& text) {
  std::vector<INPUT> inputs;
  for (wchar_t c : text) {
    for (bool up : {false, true}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wScan = c;
      input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
      inputs.push_back(input);
    }
  }
  Send(inputs);
}

void SendPointerTo(int x, int y) {
  std::vector<INPUT> inputs(1);
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dx = Normalised(x, GetSystemMetrics(SM_CXSCREEN));
  inputs[0].mi.dy = Normalised(y, GetSystemMetrics(SM_CYSCREEN));
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  Send(inputs);
}

bool MovePointer(int x, int y) {
  auto there = [&] {
    POINT at{};
    GetCursorPos(&at);
    return std::abs(at.x - x) <= 1 && std::abs(at.y - y) <= 1;
  };
  // Under X a window mapped under the pointer reports the pointer where it
  // was; that report may come after the move. Move until it stays put.
  for (int attempt = 0; attempt < 20; ++attempt) {
    SendPointerTo(x, y);
    if (WaitFor(there, 500) && !WaitFor([&] { return !there(); }, 100)) return true;
  }
  return there();
}

void ParkPointer() {
  MovePointer(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
}

void ClickHere() {
  std::vector<INPUT> inputs(2);
  for (INPUT& input : inputs) input.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  Send(inputs);
}

bool ClickCentre(HWND window) {
  const Box box = WindowBox(window);
  const bool placed = MovePointer(box.left + box.width / 2, box.top + box.height / 2);
  ClickHere();
  // Out of the way again, without waiting: the next window to come up
  // should not appear under the pointer.
  SendPointerTo(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  return placed;
}

bool SaveScreen(const std::wstring& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  HDC memory = CreateCompatibleDC(screen);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as .bmp files store rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = picture != nullptr && bits != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, picture);
    ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    const DWORD image_size = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + image_size;
    info.bmiHeader.biSizeImage = image_size;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), image_size);
    ok = static_cast<bool>(out);
  }
  if (picture != nullptr) DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF colour = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return colour;
}

std::vector<COLORREF> ScreenPixels(const Box& region) {
  std::vector<COLORREF> pixels;
  if (region.width <= 0 || region.height <= 0) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = region.width;
  info.bmiHeader.biHeight = -region.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (picture != nullptr && bits != nullptr) {
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, region.width, region.height, screen, region.left, region.top,
           SRCCOPY | CAPTUREBLT);
    GdiFlush();
    SelectObject(memory, old);
    const auto* quads = static_cast<const RGBQUAD*>(bits);
    const size_t count = static_cast<size_t>(region.width) * static_cast<size_t>(region.height);
    pixels.reserve(count);
    for (size_t i = 0; i < count; ++i) {
      pixels.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    }
  }
  if (picture != nullptr) DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace glyphary::e2e
