// Writes the package's WiX source to standard output:
//   make_msi_source VERSION ICONS_FOLDER PROGRAM_ICON ACTIONS_DLL ICON...
// or, with --action-types, the statements that set its custom actions' types.
#include <cstdio>
#include <string>

#include "package/msi_source.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--action-types") {
    const std::string sql = glyphary::package::ActionTypeUpdates();
    return std::fwrite(sql.data(), 1, sql.size(), stdout) == sql.size() ? 0 : 1;
  }
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: make_msi_source VERSION ICONS_FOLDER PROGRAM_ICON ACTIONS_DLL ICON...\n");
    return 2;
  }
  glyphary::package::PackageInputs inputs;
  inputs.version = argv[1];
  inputs.icons_folder = argv[2];
  inputs.program_icon = argv[3];
  inputs.actions_dll = argv[4];
  for (int i = 5; i < argc; ++i) inputs.icon_files.push_back(argv[i]);
  const std::string source = glyphary::package::MsiSource(inputs);
  return std::fwrite(source.data(), 1, source.size(), stdout) == source.size() ? 0 : 1;
}
