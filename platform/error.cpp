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

Error& Error::At(std::wstring path) {
  path_ = std::move(path);
  return *this;
}

Error& Error::Advise(std::wstring advice) {
  advice_ = std::move(advice);
  return *this;
}

namespace errors {

int NumberForSystemError(unsigned long code) {
  // The values of the Win32 ERROR_* codes; this file stays free of
  // <windows.h> so that the stand-ins share the mapping.
  switch (code) {
    case 2:  // ERROR_FILE_NOT_FOUND
      return kFileNotFound;
    case 3:    // ERROR_PATH_NOT_FOUND
    case 15:   // ERROR_INVALID_DRIVE
    case 53:   // ERROR_BAD_NETPATH
    case 123:  // ERROR_INVALID_NAME
    case 161:  // ERROR_BAD_PATHNAME
    case 267:  // ERROR_DIRECTORY
      return kPathNotFound;
    case 80:   // ERROR_FILE_EXISTS
    case 183:  // ERROR_ALREADY_EXISTS
      return kFileAlreadyExists;
    case 5:   // ERROR_ACCESS_DENIED
    case 19:  // ERROR_WRITE_PROTECT
    case 32:  // ERROR_SHARING_VIOLATION
    case 33:  // ERROR_LOCK_VIOLATION
      return kPermissionDenied;
    default:
      return kPathFileAccessError;
  }
}

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
