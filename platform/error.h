// The one error type of the program: a runtime error with a number and a
// description, as the error box shows it. Numbers follow the Windows
// scripting runtime, so that a failure reads the same as users know it
// ("Run-time error '76': Path not found").
#pragma once

#include <exception>
#include <string>

namespace glyphary {

class Error : public std::exception {
 public:
  Error(int number, std::wstring description);

  int Number() const noexcept { return number_; }
  const std::wstring& Description() const noexcept { return description_; }
  // The file, folder or registry key the error concerns ("" when none).
  const std::wstring& Path() const noexcept { return path_; }
  // A plain sentence on what the user can do about it ("" when none).
  const std::wstring& Advice() const noexcept { return advice_; }

  // The same error, concerning `path` / with `advice` (replacing any before).
  Error& At(std::wstring path);
  Error& Advise(std::wstring advice);

  // ASCII rendering of "number: description" for logs and test output.
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int number_;
  std::wstring description_;
  std::wstring path_;
  std::wstring advice_;
  std::string what_;
};

// The runtime errors the installer can raise.
namespace errors {
constexpr int kOverflow = 6;
constexpr int kTypeMismatch = 13;
constexpr int kFileNotFound = 53;
constexpr int kFileAlreadyExists = 58;
constexpr int kPermissionDenied = 70;
constexpr int kPathFileAccessError = 75;
constexpr int kPathNotFound = 76;
constexpr int kCannotCreateObject = 429;

// An Error with `number` and its standard description.
Error Make(int number);

// The runtime error number for a Win32 error code (as GetLastError or a
// registry function returns it): 53 file not found, 76 path not found, 58
// already exists, 70 access denied or the file in use, 75 anything else.
int NumberForSystemError(unsigned long code);
}  // namespace errors

}  // namespace glyphary
