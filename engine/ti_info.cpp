#include "engine/ti_info.h"

#include <string>

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

void RegisterFileTypes() {
  constexpr std::int32_t root = Reg::kClassesRoot;
  for (const FileTypeRow& row : FileTypes()) {
    const std::wstring extension = row.Extension;
    const std::wstring type_id = row.TypeId;
    const std::wstring default_icon = type_id + L"\\DefaultIcon";
    Reg::CreateKey(extension, root);
    Reg::CreateKey(default_icon, root);  // also creates the type's own key
    Reg::SetValue(root, extension, L"", type_id, Reg::kRegSz);
    Reg::SetValue(root, type_id, L"BrowserFlags", std::int64_t{8}, Reg::kRegDword);
    Reg::SetValue(root, type_id, L"EditFlags", std::int64_t{0}, Reg::kRegDword);
    Reg::SetValue(root, default_icon, L"", std::wstring(kIconFolder) + row.IconFile + L",0",
                  Reg::kRegSz);
  }
}

}  // namespace glyphary::engine::TiInfo
