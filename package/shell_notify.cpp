// The Windows Installer package's custom action: tells the shell that file
// types changed, at the end of an install and of an uninstall, so that
// Explorer shows the icons (or stops showing them) without a restart.
#include <windows.h>
#include <shlobj.h>

// The installer's session handle (an MSIHANDLE) is not needed.
extern "C" __declspec(dllexport) UINT __stdcall TellShell(unsigned long) {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return ERROR_SUCCESS;
}
