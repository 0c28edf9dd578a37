#include "app/command_roads.h"

#include <windows.h>

#include "base/decimal.h"
#include "engine/installation.h"
#include "engine/product.h"
#include "engine/uninstallation.h"
#include "windows/ui.h"

namespace glyphary::app {

namespace {

int Box(std::wstring_view text, UINT style) {
  return MessageBoxW(nullptr, WideText(text).c_str(), engine::kProductName.data(),
                     style | MB_SETFOREGROUND);
}

// What the uninstallation did, in plain words.
WideText Summary(const engine::UninstallReport& report) {
  if (!report.AnythingRemoved()) {
    return WideText(L"The TI-89 file types were not installed. Nothing was removed.");
  }
  WideText text(L"Removed: the entries of ");
  AppendDecimal(text, report.registry.types_removed);
  text.Append(L" file types and ");
  AppendDecimal(text, report.icons_removed);
  text.Append(L" icon files");
  if (report.folder_removed) text.Append(L", and the folder ").Append(engine::kInstallFolder);
  const int kept = report.registry.keys_kept;
  if (kept > 0 || report.folder_kept) {
    text.Append(L".\n\nKept, as other programs use them: ");
    if (kept > 0) {
      AppendDecimal(text, kept);
      text.Append(L" registry keys");
    }
    if (report.folder_kept) {
      text.Append(kept > 0 ? L" and the folder " : L"the folder ").Append(engine::kInstallFolder);
    }
  }
  text.Append(L".");
  return text;
}

int Uninstall(const platform::Platform& platform, bool silent) {
  if (!silent && Box(L"Remove the TI-89 file types and their icons from this computer?",
                     MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return engine::kExitCancelled;
  }
  engine::UninstallReport report;
  const Error error = engine::RunUninstallation(platform, report);
  if (!silent) {
    if (error) {
      Box(Joined(windows::ErrorBoxText(error), L"\n\nEverything else was removed."),
          MB_OK | MB_ICONERROR);
    } else {
      Box(Summary(report), MB_OK | MB_ICONINFORMATION);
    }
  }
  return error.Number();
}

}  // namespace

int RunCommand(const platform::Platform& platform, const engine::Options& options) {
  switch (options.action) {
    case engine::Action::kUsage:
      if (!options.silent) Box(engine::UsageText(), MB_OK | MB_ICONINFORMATION);
      return options.unknown.empty() ? 0 : engine::kExitBadArgument;
    case engine::Action::kInstall: {
      // The installation of "Accept", with no window to show its stages on.
      auto no_window = [](engine::InstallStage) {};
      return engine::RunInstallation(platform, engine::StageSink(no_window)).Number();
    }
    case engine::Action::kUninstall:
      return Uninstall(platform, options.silent);
    case engine::Action::kInteractive:
      break;
  }
  return 0;
}

}  // namespace glyphary::app
