// The floor of the unattended installation: a program that does the
// installer's job with direct Win32 calls and nothing else
// (bench/direct_install.h), then exits: the lock, the look for a record,
// the icons beside it, the install folder, the copies (the icons and
// itself, as the uninstaller), the 24 key creations and 48 value writes of
// the twelve file types with RegCreateKeyExA, RegOpenKeyExA and
// RegSetValueExA, the record, and the shell told. Exit code 0 when it
// installed, 1 otherwise.
#include <windows.h>

#include <string>

#include "bench/direct_install.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  if (n == 0 || n == MAX_PATH) return 1;
  return glyphary::bench::InstallDirectly(glyphary::bench::MakeDirectPlan(), std::wstring(exe, n))
             ? 0
             : 1;
}
