#include "engine/nd.h"

#include <optional>

#include "platform/file_system.h"

namespace glyphary::engine::ND {

Variant MakeFolder(Variant& Folder, const std::wstring& Name, Error* failure) {
  // Resume-next: a failing step is abandoned, its error remembered, and the
  // function goes on to its end.
  std::optional<Error> recorded;
  platform::FileSystem* fso = nullptr;
  try {
    fso = &platform::FileSystemSeam::Get();
  } catch (const Error& e) {
    recorded = e;
  }
  std::wstring path = TextOf(Folder) + L"\\" + Name;
  if (fso != nullptr) {
    try {
      Folder = fso->CreateFolder(path);
    } catch (const Error& e) {
      recorded = e;
    }
  }
  if (recorded) Folder = kFailed;
  if (failure != nullptr) *failure = recorded.value_or(Error(0, L""));
  return TextOf(Folder);
}

}  // namespace glyphary::engine::ND
