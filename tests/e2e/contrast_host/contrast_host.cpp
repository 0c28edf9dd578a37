// The installer's own windows as a high-contrast scheme shows them, for the
// end-to-end test of their colours. Wine cannot switch high contrast on
// (SPI_SETHIGHCONTRAST fails there), so this host answers the windows'
// question "is high contrast on?" from the DWORD value HighContrast under
// HKEY_CURRENT_USER\Software\Glyphary E2E, which the test sets before it
// tells the windows that the setting changed; the colours are the system's.
// It shows the backdrop and the agreement window as the installer does;
// "Accept" brings up the finish window (nothing is installed), "Cancel"
// ends it.
#include <windows.h>

namespace {

bool TestHighContrast() {
  DWORD on = 0;
  DWORD size = sizeof(on);
  return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Glyphary E2E", L"HighContrast",
                      RRF_RT_REG_DWORD, nullptr, &on, &size) == ERROR_SUCCESS &&
         on != 0;
}

}  // namespace

#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/splash_window.h"
#include "windows/ui.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace glyphary::windows;
  using glyphary::Error;
  Ui ui(instance, &TestHighContrast);
  SplashWindow splash(ui);
  AgreementWindow agreement(ui);
  FinishWindow finish(ui);
  auto nothing = []() -> Error { return Error(); };
  auto accept = [&]() -> Error { return finish.Show(Handler(nothing)); };
  auto cancel = [&]() -> Error { ui.End(0); };
  auto show_agreement = [&]() { return agreement.Show(Handler(accept), Handler(cancel)); };
  if (Error error = splash.Show(Handler(show_agreement))) ui.ReportError(error);
  return ui.Run();
}
