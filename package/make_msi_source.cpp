// Writes the package's WiX source to standard output:
//   make_msi_source VERSION ICONS_FOLDER PROGRAM_ICON ACTIONS_DLL ICON...
#include <cstdio>

#include "package/msi_source.h"

int main(int argc, char** argv) {
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
