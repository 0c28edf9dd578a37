#include "base/error.h"

namespace glyphary {

// Out of line: an error travels through many functions, and one copy of
// these beats one at each of them.
Error::Error(const Error& other) = default;
Error::Error(Error&& other) noexcept = default;
Error& Error::operator=(const Error& other) = default;
Error& Error::operator=(Error&& other) noexcept = default;
Error::~Error() = default;

Error& Error::At(std::wstring_view path) {
  path_ = WideText(path);
  return *this;
}

Error& Error::Advise(std::wstring_view advice) {
  advice_ = WideText(advice);
  return *this;
}

}  // namespace glyphary

namespace glyphary::errors {

Error Make(int number) {
  switch (number) {
    case kOverflow: return Error(number, L"Overflow");
    case kOutOfMemory: return Error(number, L"Out of memory");
    case kTypeMismatch: return Error(number, L"Type mismatch");
    case kInternalError: return Error(number, L"Internal error");
    case kFileNotFound: return Error(number, L"File not found");
    case kFileAlreadyExists: return Error(number, L"File already exists");
    case kPermissionDenied: return Error(number, L"Permission denied");
    case kPathFileAccessError: return Error(number, L"Path/File access error");
    case kPathNotFound: return Error(number, L"Path not found");
    case kResourceNotFound: return Error(number, L"Resource not found");
    case kCannotCreateObject: return Error(number, L"ActiveX component can't create object");
    case exit_codes::kCancelled: return Error(number, L"The operation was canceled by the user");
    case exit_codes::kElevationRequired: return Error(number, L"The requested operation requires elevation");
    default: return Error(number, L"Application-defined or object-defined error");
  }
}

Error ForSystemError(unsigned long code) {
  Error error = Make(NumberForSystemError(code));
  error.FromSystem(code);
  return error;
}

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
    case 740:   // ERROR_ELEVATION_REQUIRED
      return exit_codes::kElevationRequired;
    case 1223:  // ERROR_CANCELLED
      return exit_codes::kCancelled;
    case 8:   // ERROR_NOT_ENOUGH_MEMORY
    case 14:  // ERROR_OUTOFMEMORY
      return kOutOfMemory;
    default:
      return kPathFileAccessError;
  }
}

}  // namespace glyphary::errors
