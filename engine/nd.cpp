#include "engine/nd.h"

#include "platform/file_system.h"

namespace glyphary::engine::ND {

Variant MakeFolder(Variant& Folder, std::wstring_view Name, Error* failure) {
  // Each step that fails leaves its error behind and the function goes on
  // to its end; the last error recorded decides the result.
  Error recorded;
  platform::FileSystem* fso = platform::FileSystemSeam::Find();
  if (fso == nullptr) recorded = errors::Make(errors::kCannotCreateObject);
  const WideText path = Joined(TextOf(Folder), L"\\", Name);
  if (fso != nullptr) {
    platform::Folder made;
    if (Error error = fso->CreateFolder(path, made)) {
      recorded = error;
    } else {
      Folder = made;
    }
  }
  if (recorded) Folder = WideText(kFailed);
  if (failure != nullptr) *failure = recorded;
  return TextOf(Folder);
}

}  // namespace glyphary::engine::ND
