#include "app/installer_flow.h"

#include "engine/installation.h"
#include "engine/product.h"
#include "engine/restart.h"
#include "windows/agreement_window.h"
#include "windows/finish_window.h"
#include "windows/progress_window.h"
#include "windows/splash_window.h"

namespace glyphary::app {

using windows::Handler;

int RunInstallerWindows(const platform::Platform& platform, const engine::InstallTarget& target,
                        windows::Ui& ui) {
  windows::SplashWindow splash(ui);
  windows::AgreementWindow agreement(ui);
  windows::ProgressWindow progress(ui);
  windows::FinishWindow finish(ui);

  // "Finish": the restart, when "Restart Computer" is ticked.
  auto restart = [&]() -> Error {
    if (finish.RestartChecked()) engine::RestartWindows(platform.system);
    return Error();
  };
  // Once the progress window is up: the finish window in its place. Whatever
  // the user typed or clicked since "Accept" is not for the finish window.
  auto hand_over = [&]() -> Error {
    if (Error error = finish.Show(Handler(restart))) return error;
    ui.AcceptInput();
    progress.Close();
    return Error();
  };
  // "Accept": the installation, then the progress window with its last
  // status, which hands over to the finish window.
  auto accept = [&]() -> Error {
    ui.HoldInput();
    // Windows Installer's libraries, loading since the agreement showed, are
    // in before the next window is made (see StartLookingForPackage).
    platform.system.FinishPackageQuery();
    if (Error error = progress.Create()) return error;
    auto stage = [&progress](engine::InstallStage entered) { progress.ShowStage(entered); };
    if (Error error = engine::RunInstallation(platform, target, engine::StageSink(stage))) {
      // Another run is installing or removing: its own exit code, as with /S.
      if (error.Number() == exit_codes::kInstallInProgress) ui.ReportError(error, error.Number());
      return error;
    }
    progress.Show(Handler(hand_over));
    agreement.Close();
    return Error();
  };
  auto cancel = [&]() -> Error {
    platform.system.FinishPackageQuery();  // the program ends at once
    ui.End(0);
  };
  // The backdrop shows the agreement whenever it appears or comes back.
  // While it is read, Windows Installer is made ready for "Accept"'s
  // question about the package.
  auto show_agreement = [&]() -> Error {
    if (Error error = agreement.Show(Handler(accept), Handler(cancel))) return error;
    engine::StartLookingForPackage(platform, target);
    return Error();
  };

  if (Error error = splash.Show(Handler(show_agreement))) ui.ReportError(error);
  return ui.Run();
}

}  // namespace glyphary::app
