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

// Appends ", " or " and " before the next part of a list of `count` parts.
void AppendSeparator(WideText& text, int index, int count) {
  if (index > 0) text.Append(index == count - 1 ? L" and " : L", ");
}

// "12 icon files", "1 registry value".
void AppendCount(WideText& text, int count, std::wstring_view one, std::wstring_view many) {
  AppendDecimal(text, count);
  text.Append(L" ").Append(count == 1 ? one : many);
}

// What the uninstallation did, in plain words: what it removed, put back and
// kept, and whether a restart finishes it.
WideText Summary(const engine::UninstallReport& report, std::wstring_view folder) {
  const engine::UnregisterReport& registry = report.registry;
  WideText text(L"Removed: the entries of ");
  AppendCount(text, registry.types_removed, L"file type", L"file types");
  text.Append(L" and ");
  AppendCount(text, report.files_removed, L"file", L"files");
  if (report.folder_removed) text.Append(L", and the folder ").Append(folder);
  text.Append(L".");
  if (registry.values_restored > 0) {
    text.Append(L"\n\nPut back: ");
    AppendCount(text, registry.values_restored, L"file association", L"file associations");
    text.Append(L" that other programs had before the installation.");
  }
  const int kept_parts = (registry.values_kept > 0) + (registry.keys_kept > 0) + report.folder_kept;
  if (kept_parts > 0) {
    text.Append(L"\n\nKept, as other programs changed or use them: ");
    int part = 0;
    if (registry.values_kept > 0) {
      AppendCount(text, registry.values_kept, L"registry value", L"registry values");
      ++part;
    }
    if (registry.keys_kept > 0) {
      AppendSeparator(text, part++, kept_parts);
      AppendCount(text, registry.keys_kept, L"registry key", L"registry keys");
    }
    if (report.folder_kept) {
      AppendSeparator(text, part++, kept_parts);
      text.Append(L"the folder ").Append(folder).Append(L" with the files in it that are not ours");
    }
    text.Append(L".");
  }
  if (report.files_restored > 0) {
    text.Append(L"\n\nPut back: ");
    AppendCount(text, report.files_restored, L"file", L"files");
    text.Append(L" that stood in the folder before the installation replaced them.");
  }
  if (!report.ignored.empty()) {
    // A record someone changed: what it names outside the installation's
    // own files and values is never acted on.
    if (report.record_damaged) {
      // Parts of it missing or of another type: what they would name is
      // not known, so the record stays.
      text.Append(L"\n\nThe installation's record is damaged, so it was kept: ");
    } else {
      text.Append(L"\n\nIgnored, as the installation's record may name only files in ")
          .Append(folder)
          .Append(L" and the file types' own registry values: ");
    }
    int part = 0;
    report.ignored.ForEach([&](std::wstring_view entry) {
      AppendSeparator(text, part++, report.ignored.count());
      text.Append(entry);
    });
    text.Append(L".");
  }
  if (report.RestartNeeded()) {
    text.Append(L"\n\n");
    AppendCount(text, report.files_at_restart, L"file is", L"files are");
    text.Append(L" in use by another program and will be removed when Windows restarts");
    if (report.files_restored_at_restart > 0) {
      text.Append(L"; then ");
      AppendCount(text, report.files_restored_at_restart, L"file", L"files");
      text.Append(L" that stood in the folder before the installation will be put back");
    }
    text.Append(L". Restart Windows to finish.");
  }
  return text;
}

int Uninstall(const platform::Platform& platform, const engine::InstallTarget& target, bool silent) {
  const engine::Installed installed = engine::FindInstallation(platform, target);
  if (installed == engine::Installed::kByPackage) {
    // Not ours to remove: the package's own uninstall does it.
    engine::UninstallReport none;
    const Error refused = engine::RunUninstallation(platform, target, none);
    if (!silent) Box(windows::ErrorBoxText(refused), MB_OK | MB_ICONWARNING);
    return refused.Number();
  }
  if (installed == engine::Installed::kNothing) {
    if (!silent) {
      Box(L"The TI-89 file types are not installed on this computer. There is nothing to remove.",
          MB_OK | MB_ICONINFORMATION);
    }
    return 0;
  }
  if (!silent && Box(L"Remove the TI-89 file types and their icons from this computer?",
                     MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return exit_codes::kCancelled;
  }
  engine::UninstallReport report;
  const Error error = engine::RunUninstallation(platform, target, report);
  if (!silent) {
    if (error.Number() == exit_codes::kInstallInProgress) {
      Box(windows::ErrorBoxText(error), MB_OK | MB_ICONWARNING);
    } else if (error) {
      Box(Joined(windows::ErrorBoxText(error), L"\n\nEverything else was removed."),
          MB_OK | MB_ICONERROR);
    } else {
      Box(Summary(report, target.folder), MB_OK | MB_ICONINFORMATION);
    }
  }
  if (error) return error.Number();
  if (!report.ignored.empty()) return exit_codes::kRecordEntriesIgnored;
  return report.RestartNeeded() ? exit_codes::kRestartRequired : 0;
}

}  // namespace

int ShowUsage(const engine::Options& options) {
  if (!options.silent) Box(engine::UsageText(), MB_OK | MB_ICONINFORMATION);
  return options.unknown.empty() ? 0 : exit_codes::kBadArgument;
}

engine::RoadChoice ChooseRoad(const platform::Platform& platform, const engine::Options& options,
                              std::wstring_view arguments) {
  auto ask = [] {
    return Box(L"Install the TI-89 file icons for your account only?",
               MB_YESNO | MB_ICONQUESTION) == IDYES;
  };
  const engine::RoadChoice choice =
      engine::ChooseRoad(platform, options, arguments, engine::AskAccountOnly(ask));
  if (choice.road == engine::Road::kEnded && choice.exit_code == exit_codes::kElevationRequired &&
      !options.silent) {
    Box(L"Removing the TI-89 file types installed for all accounts of this computer needs "
        L"administrator rights. Ask an administrator to remove them.",
        MB_OK | MB_ICONWARNING);
  }
  return choice;
}

int RunCommand(const platform::Platform& platform, const engine::InstallTarget& target,
               const engine::Options& options) {
  switch (options.action) {
    case engine::Action::kInstall: {
      // The installation of "Accept", with no window to show its stages on.
      auto no_window = [](engine::InstallStage) {};
      return engine::RunInstallation(platform, target, engine::StageSink(no_window)).Number();
    }
    case engine::Action::kUninstall:
      return Uninstall(platform, target, options.silent);
    case engine::Action::kUsage:
      return ShowUsage(options);
    case engine::Action::kInteractive:
      break;
  }
  return 0;
}

int ReportStartFailure(const Error& error, bool silent) {
  if (!silent) Box(windows::ErrorBoxText(error), MB_OK | MB_ICONERROR);
  return error.Number();
}

}  // namespace glyphary::app
