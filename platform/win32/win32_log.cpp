#include "platform/win32/win32_log.h"

#include "base/decimal.h"

namespace glyphary::platform {

namespace {

// `number` with at least `digits` digits.
void AppendPadded(WideText& text, unsigned long number, int digits) {
  WideText plain;
  AppendDecimal(plain, static_cast<int>(number));
  for (int i = static_cast<int>(plain.size()); i < digits; ++i) text.Append(L'0');
  text.Append(plain);
}

}  // namespace

Win32Log::Win32Log(std::wstring_view path) {
  if (!path.empty()) {
    path_ = WideText(path);
  } else {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length > 0 && length <= MAX_PATH) path_ = Joined(std::wstring_view(temp, length), L"GlypharyInstaller.log");
  }
  if (path_.empty()) return;
  // Appended to by every run, and readable (and appendable) by others while
  // this one writes: two runs at once each add their lines.
  *file_.receive() = CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void Win32Log::Write(std::wstring_view what, unsigned long code) {
  if (!file_.valid()) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  // "2026-12-08 09:14:03.217": each part, its width, the character before it.
  const struct {
    unsigned long value;
    int digits;
    wchar_t before;
  } parts[] = {{now.wYear, 4, 0},   {now.wMonth, 2, L'-'},  {now.wDay, 2, L'-'},
               {now.wHour, 2, L' '}, {now.wMinute, 2, L':'}, {now.wSecond, 2, L':'},
               {now.wMilliseconds, 3, L'.'}};
  WideText line;
  for (const auto& part : parts) {
    if (part.before != 0) line.Append(part.before);
    AppendPadded(line, part.value, part.digits);
  }
  line.Append(L" [pid ");
  AppendDecimal(line, static_cast<int>(GetCurrentProcessId()));
  line.Append(L"] ").Append(what).Append(L" (code ");
  AppendDecimal(line, static_cast<int>(code));
  line.Append(L")\r\n");
  const int length = static_cast<int>(line.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  NarrowText utf8;
  utf8.Resize(static_cast<std::size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, line.c_str(), length, utf8.data(), bytes, nullptr, nullptr);
  DWORD written = 0;
  WriteFile(file_.get(), utf8.c_str(), static_cast<DWORD>(bytes), &written, nullptr);  // a failure is no failure of the run
}

}  // namespace glyphary::platform
