#include "platform/error.h"

#include <utility>

namespace glyphary {

Error::Error(int number, std::wstring description)
    : number_(number), description_(std::move(description)) {
  what_ = std::to_string(number_) + ": ";
  for (wchar_t c : description_) {
    what_ += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
  }
}

namespace errors {

Error Make(int number) {
  switch (number) {
    case kOverflow: return Error(number, L"Overflow");
    case kTypeMismatch: return Error(number, L"Type mismatch");
    case kFileNotFound: return Error(number, L"File not found");
    case kFileAlreadyExists: return Error(number, L"File already exists");
    case kPermissionDenied: return Error(number, L"Permission denied");
    case kPathFileAccessError: return Error(number, L"Path/File access error");
    case kPathNotFound: return Error(number, L"Path not found");
    case kCannotCreateObject: return Error(number, L"ActiveX component can't create object");
    default: return Error(number, L"Application-defined or object-defined error");
  }
}

}  // namespace errors
}  // namespace glyphary
