#include "bench/native_runs.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine/installation.h"
#include "engine/ti_info.h"

namespace glyphary::bench {

namespace {

const std::wstring kProgramFolder = L"C:\\Downloads\\Glyphary";
const std::wstring kInstallFolder = L"C:\\WINDOWS\\system32\\TI-89";

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out.push_back(static_cast<char>(c));  // the table is ASCII
  return out;
}

}  // namespace

std::vector<IconFile> ReadIcons(const std::string& folder) {
  std::vector<IconFile> icons;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) throw std::runtime_error("cannot list " + folder);
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".ico") != 0) continue;
    std::ifstream in(folder + "/" + name, std::ios::binary);
    icons.push_back({std::wstring(name.begin(), name.end()),
                     std::string(std::istreambuf_iterator<char>(in), {})});
  }
  closedir(dir);
  std::sort(icons.begin(), icons.end(),
            [](const IconFile& a, const IconFile& b) { return a.name < b.name; });
  return icons;
}

std::unique_ptr<World> MakeWorld(const std::vector<IconFile>& icons) {
  auto world = std::make_unique<World>();
  world->files.SetProgramFolder(kProgramFolder);
  world->files.AddFolder(std::wstring(engine::kSystemFolder));
  for (const IconFile& icon : icons) {
    world->files.AddFile(kProgramFolder + L"\\Icons\\" + icon.name, icon.bytes);
  }
  return world;
}

RegistryWork MakeRegistryWork() {
  RegistryWork work;
  auto text = [](const std::string& s) {
    std::vector<std::uint8_t> bytes(s.begin(), s.end());
    bytes.push_back(0);
    return bytes;
  };
  auto dword = [](std::uint32_t n) {
    return std::vector<std::uint8_t>{static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                     static_cast<std::uint8_t>(n >> 16),
                                     static_cast<std::uint8_t>(n >> 24)};
  };
  for (const auto& row : engine::TiInfo::FileTypes()) {
    const std::string extension = Narrow(row.Extension);
    const std::string type_id = Narrow(row.TypeId);
    const std::string default_icon = type_id + "\\DefaultIcon";
    const std::string icon = Narrow(engine::TiInfo::kIconFolder) + Narrow(row.IconFile) + ",0";
    work.creates.push_back({extension});
    work.creates.push_back({default_icon});
    work.writes.push_back({extension, "", platform::kRegSz, text(type_id)});
    work.writes.push_back({type_id, "BrowserFlags", platform::kRegDword, dword(8)});
    work.writes.push_back({type_id, "EditFlags", platform::kRegDword, dword(0)});
    work.writes.push_back({default_icon, "", platform::kRegSz, text(icon)});
    work.order += "ccwwww";
  }
  return work;
}

void RunLayers(World& world) {
  platform::RegistrySeam::Override registry(world.registry);
  platform::FileSystemSeam::Override files(world.files);
  platform::AnsiSeam::Override ansi(world.ansi);
  engine::InstallationState state;
  auto ignore = [](std::wstring_view) {};
  (void)engine::RunInstallation(state, engine::CaptionSink(ignore));
}

void RunFloor(World& world, const RegistryWork& work) {
  // The same file-system calls the run makes: is it installed, are there
  // icons, then the folder and the copy.
  platform::Folder made;
  int icons = 0;
  (void)world.files.FolderExists(kInstallFolder);
  (void)world.files.CountFiles(kProgramFolder + L"\\Icons\\*.ico", icons);
  (void)world.files.CreateFolder(kInstallFolder, made);
  (void)world.files.CopyFile(kProgramFolder + L"\\Icons\\*.ico", kInstallFolder);
  platform::Registry& registry = world.registry;
  size_t c = 0, w = 0;
  for (char step : work.order) {
    platform::KeyHandle key = 0;
    if (step == 'c') {
      std::uint32_t disposition = 0;
      registry.CreateKeyEx(platform::kClassesRootHandle, work.creates[c++].path, 0, nullptr, 0, 0x3F,
                           nullptr, &key, &disposition);
    } else {
      const RegistryWork::Write& write = work.writes[w++];
      registry.OpenKeyEx(platform::kClassesRootHandle, write.path, 0, 0x3F, &key);
      registry.SetValueEx(key, write.name, 0, write.type, write.bytes.data(),
                          static_cast<std::uint32_t>(write.bytes.size()));
    }
    registry.CloseKey(key);
  }
}

bool Installed(const World& world, std::string* why) {
  size_t icons = world.files.List(kInstallFolder).size();
  size_t keys = world.registry.KeyCount(platform::kClassesRootHandle);
  size_t values = world.registry.ValueCount(platform::kClassesRootHandle);
  size_t open = world.registry.OpenHandles();
  if (icons == 12 && keys == 36 && values == 48 && open == 0) return true;
  *why = "install folder holds " + std::to_string(icons) + " files, HKCR " + std::to_string(keys) +
         " keys and " + std::to_string(values) + " values, " + std::to_string(open) +
         " handles left open (expected 12, 36, 48, 0)";
  return false;
}

bool SameRegistryCalls(const World& a, const World& b, std::string* why) {
  const auto& x = a.registry.Calls();
  const auto& y = b.registry.Calls();
  if (x.size() != y.size()) {
    *why = std::to_string(x.size()) + " registry calls against " + std::to_string(y.size());
    return false;
  }
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].kind != y[i].kind || x[i].sub_key != y[i].sub_key || x[i].access != y[i].access ||
        x[i].value_name != y[i].value_name || x[i].type != y[i].type || x[i].data != y[i].data ||
        x[i].status != y[i].status) {
      *why = "registry call " + std::to_string(i) + " differs (" + x[i].sub_key + " / " +
             y[i].sub_key + ")";
      return false;
    }
  }
  return true;
}

}  // namespace glyphary::bench
