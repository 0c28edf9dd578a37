#include "windows/forms/commands.h"

#include <windows.h>

#include "base/decimal.h"
#include "engine/installation.h"
#include "engine/uninstallation.h"
#include "windows/runtime/runtime.h"

namespace glyphary::windows {

namespace {

constexpr wchar_t kTitle[] = L"Glyphary Installer";

int Box(std::wstring_view text, UINT style) {
  return MessageBoxW(nullptr, WideText(text).c_str(), kTitle, style | MB_SETFOREGROUND);
}

// What the uninstallation did, in plain words.
WideText Summary(const engine::UninstallReport& report, std::wstring_view folder) {
  if (!report.AnythingRemoved()) {
    return WideText(L"The TI-89 file types were not installed. Nothing was removed.");
  }
  WideText text(L"Removed: the entries of ");
  AppendDecimal(text, report.types_removed);
  text.Append(L" file types and ");
  AppendDecimal(text, report.icons_removed);
  text.Append(L" icon files");
  if (report.folder_removed) text.Append(L", and the folder ").Append(folder);
  const int kept = report.extensions_kept + report.type_keys_kept;
  if (kept > 0 || report.folder_kept) {
    text.Append(L".\n\nKept, as other programs use them: ");
    if (kept > 0) {
      AppendDecimal(text, kept);
      text.Append(L" registry keys");
    }
    if (report.folder_kept) text.Append(kept > 0 ? L" and the folder " : L"the folder ").Append(folder);
  }
  text.Append(L".");
  return text;
}

int Uninstall(bool silent) {
  if (!silent && Box(L"Remove the TI-89 file types and their icons from this computer?",
                     MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return engine::kExitCancelled;
  }
  engine::UninstallReport report;
  const Error error = engine::RunUninstallation(report);
  if (!silent) {
    const WideText folder = Joined(engine::kSystemFolder, L"\\", engine::kInstallFolderName);
    if (error) {
      Box(Joined(runtime::ErrorBoxText(error), L"\n\nEverything else was removed."),
          MB_OK | MB_ICONERROR);
    } else {
      Box(Summary(report, folder), MB_OK | MB_ICONINFORMATION);
    }
  }
  return error.Number();
}

}  // namespace

int RunCommand(const engine::Options& options) {
  switch (options.action) {
    case engine::Action::kUsage:
      if (!options.silent) Box(engine::UsageText(), MB_OK | MB_ICONINFORMATION);
      return options.unknown.empty() ? 0 : engine::kExitBadArgument;
    case engine::Action::kInstall: {
      // The run of "Accept", with no window and nothing to show its stages on.
      engine::InstallationState state;
      auto no_caption = [](std::wstring_view) {};
      return engine::RunInstallation(state, engine::CaptionSink(no_caption)).Number();
    }
    case engine::Action::kUninstall:
      return Uninstall(options.silent);
    case engine::Action::kInteractive:
      break;
  }
  return 0;
}

}  // namespace glyphary::windows
