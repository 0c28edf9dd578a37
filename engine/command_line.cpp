#include "engine/command_line.h"

#include "base/path_text.h"

namespace glyphary::engine {

namespace {

// Whether `text` is `name`, ignoring case.
bool Is(std::wstring_view text, std::wstring_view name) {
  if (text.size() != name.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (FoldCase(text[i]) != FoldCase(name[i])) return false;
  }
  return true;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The next argument of `rest`, with its quotes taken off; `rest` moves past
// it. An argument may be empty ("" on the command line, as a deployment tool
// writes an empty variable).
WideText NextArgument(std::wstring_view& rest) {
  size_t i = 0;
  while (i < rest.size() && IsBlank(rest[i])) ++i;
  WideText argument;
  bool quoted = false;
  for (; i < rest.size(); ++i) {
    const wchar_t c = rest[i];
    if (c == L'"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      break;
    } else {
      argument.Append(c);
    }
  }
  rest = std::wstring_view(rest.data() + i, rest.size() - i);
  return argument;
}

// Whether `text` is /LOG or /LOG=path; the path (maybe empty) into `path`.
bool IsLogSwitch(std::wstring_view text, std::wstring_view& path) {
  if (text.size() < 4 || (text[0] != L'/' && text[0] != L'-')) return false;
  const std::wstring_view name(text.data() + 1, text.size() - 1);
  if (!Is(Head(name, 3), L"LOG") || (name.size() > 3 && name[3] != L'=')) return false;
  path = name.size() > 4 ? std::wstring_view(name.data() + 4, name.size() - 4) : std::wstring_view();
  return true;
}

}  // namespace

Options ParseCommandLine(std::wstring_view arguments) {
  Options options;
  bool uninstall = false;
  bool usage = false;
  for (std::wstring_view rest = arguments;;) {
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
    if (rest.empty()) break;
    const WideText argument = NextArgument(rest);
    if (argument.empty()) continue;  // "": nothing asked for
    const std::wstring_view text = argument;
    const bool is_switch = text.size() > 1 && (text[0] == L'/' || text[0] == L'-');
    const std::wstring_view name(text.data() + 1, text.size() - 1);
    if (is_switch && (Is(name, L"S") || Is(name, L"quiet"))) {
      options.silent = true;
    } else if (is_switch && (Is(name, L"user") || Is(name, L"currentuser"))) {
      options.per_user = true;
    } else if (is_switch && Is(name, L"uninstall")) {
      uninstall = true;
    } else if (is_switch && Is(name, L"?")) {
      usage = true;
    } else if (std::wstring_view path; IsLogSwitch(text, path)) {
      options.log = true;
      options.log_path = WideText(path);
    } else if (options.unknown.empty()) {
      options.unknown = argument;
    }
  }
  if (usage || !options.unknown.empty()) {
    options.action = Action::kUsage;
  } else if (uninstall) {
    options.action = Action::kUninstall;
  } else if (options.silent) {
    options.action = Action::kInstall;
  }
  return options;
}

WideText WithLogPath(std::wstring_view arguments, std::wstring_view log_path) {
  WideText result;
  for (std::wstring_view rest = arguments; !rest.empty();) {
    if (IsBlank(rest.front())) {
      result.Append(rest.front());
      rest.remove_prefix(1);
      continue;
    }
    const wchar_t* begin = rest.data();
    const WideText argument = NextArgument(rest);
    std::wstring_view path;
    if (IsLogSwitch(argument, path) && !path.empty()) {
      result.Append(L"\"/LOG=").Append(log_path).Append(L"\"");
    } else {
      result.Append(std::wstring_view(begin, static_cast<std::size_t>(rest.data() - begin)));
    }
  }
  return result;
}

std::wstring_view UsageText() {
  return L"GlypharyInstaller.exe [/S] [/user] [/uninstall] [/LOG[=path]] [/?]\n\n"
         L"/S, /quiet\tno window; the exit code tells the result\n"
         L"/user\tfor your account only, without administrator rights\n"
         L"/uninstall\tremove the TI-89 file types and icons (with /user: those of "
         L"your account)\n"
         L"/LOG[=path]\tappend every step to a log (UTF-8; without a path: "
         L"%TEMP%\\GlypharyInstaller.log)\n\n"
         L"Exit codes: 0 done, 13 entries of a changed record ignored, 53 to 76 a "
         L"run-time error, 87 unknown switch, 740 "
         L"administrator rights needed, 1223 declined, 1618 another installation in "
         L"progress, 3010 restart needed to finish.";
}

}  // namespace glyphary::engine
