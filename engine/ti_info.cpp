#include "engine/ti_info.h"

#include "engine/reg.h"

namespace glyphary::engine::TiInfo {

const std::array<FileTypeRow, 12>& FileTypes() {
  static const std::array<FileTypeRow, 12> rows = {{
      {L".89m", L"Ivex.89m", L"89mat.ico"},
      {L".89c", L"Ivex.89c", L"89dat.ico"},
      {L".89d", L"Ivex.89d", L"89gdb.ico"},
      {L".89e", L"Ivex.89e", L"89exp.ico"},
      {L".89f", L"Ivex.89f", L"89func.ico"},
      {L".89p", L"Ivex.89p", L"89prog.ico"},
      {L".89s", L"Ivex.89s", L"89str.ico"},
      {L".89t", L"Ivex.89t", L"89text.ico"},
      {L".89z", L"Ivex.89z", L"89asm.ico"},
      {L".89g", L"Ivex.89g", L"89group.ico"},
      {L".89l", L"Ivex.89l", L"89list.ico"},
      {L".89i", L"Ivex.89i", L"89pic.ico"},
  }};
  return rows;
}

namespace {

constexpr wchar_t kDefaultIconKey[] = L"\\DefaultIcon";

}  // namespace

WideText RegistryFailure::KeyPath() const {
  WideText path(L"HKEY_CLASSES_ROOT\\");
  if (row == nullptr) return path;
  path.Append(key == Key::kExtension ? row->Extension : row->TypeId);
  if (key == Key::kDefaultIcon) path.Append(kDefaultIconKey);
  return path;
}

RegistryFailure RegisterFileTypes() {
  constexpr std::int32_t root = Reg::kClassesRoot;
  using Key = RegistryFailure::Key;
  RegistryFailure first;
  for (const FileTypeRow& row : FileTypes()) {
    // Every call is made; the first one that fails is kept for the report.
    auto note = [&first, &row](platform::Status status, Key key) {
      if (status != platform::kErrorSuccess && !first) first = RegistryFailure{status, &row, key};
    };
    const std::wstring_view extension = row.Extension;
    const std::wstring_view type_id = row.TypeId;
    const WideText default_icon = Joined(type_id, kDefaultIconKey);
    note(Reg::CreateKey(extension, root), Key::kExtension);
    note(Reg::CreateKey(default_icon, root), Key::kDefaultIcon);  // also makes the type's key
    note(Reg::SetValue(root, extension, L"", WideText(type_id), Reg::kRegSz), Key::kExtension);
    note(Reg::SetValue(root, type_id, L"BrowserFlags", std::int64_t{8}, Reg::kRegDword),
         Key::kType);
    note(Reg::SetValue(root, type_id, L"EditFlags", std::int64_t{0}, Reg::kRegDword), Key::kType);
    note(Reg::SetValue(root, default_icon, L"", Joined(kIconFolder, row.IconFile, L",0"),
                       Reg::kRegSz),
         Key::kDefaultIcon);
  }
  return first;
}

}  // namespace glyphary::engine::TiInfo
