// The one error type of the program, as a value: a run-time error number
// with its description, the path it concerns and advice for the user, as
// the error box shows them. Numbers follow the Windows scripting runtime, so
// that a failure reads the same as users know it ("Run-time error '76':
// Path not found"). Every operation that can fail returns one; a default
// Error is "no error", and an Error tests true when it holds a failure:
//
//   if (Error error = fso.CopyFile(from, to)) return error;
#pragma once

#include <cstdint>
#include <string_view>

#include "base/exit_codes.h"
#include "base/text.h"

namespace glyphary {

class [[nodiscard]] Error {
 public:
  Error() = default;
  // `description` is text that lives as long as the program (a literal).
  Error(int number, std::wstring_view description) : number_(number), description_(description) {}
  Error(const Error& other);
  Error(Error&& other) noexcept;
  Error& operator=(const Error& other);
  Error& operator=(Error&& other) noexcept;
  ~Error();

  int Number() const { return number_; }
  std::wstring_view Description() const { return description_; }
  // The file, folder or registry key the error concerns ("" when none).
  std::wstring_view Path() const { return path_; }
  // A plain sentence on what the user can do about it ("" when none).
  std::wstring_view Advice() const { return advice_; }
  // The Win32 code the error came from (0 when it came from none).
  unsigned long SystemCode() const { return system_code_; }

  bool failed() const { return number_ != 0; }
  explicit operator bool() const { return failed(); }

  // The same error, concerning `path` / with `advice` (replacing any before).
  Error& At(std::wstring_view path);
  Error& Advise(std::wstring_view advice);
  Error& FromSystem(unsigned long code) {
    system_code_ = code;
    return *this;
  }

 private:
  int number_ = 0;
  unsigned long system_code_ = 0;
  std::wstring_view description_;
  WideText path_;
  WideText advice_;
};

// The runtime errors the installer can raise.
namespace errors {
constexpr int kOutOfMemory = 7;
constexpr int kOverflow = 6;
constexpr int kTypeMismatch = 13;
constexpr int kInternalError = 51;
constexpr int kFileNotFound = 53;
constexpr int kFileAlreadyExists = 58;
constexpr int kPermissionDenied = 70;
constexpr int kPathFileAccessError = 75;
constexpr int kPathNotFound = 76;
constexpr int kResourceNotFound = 326;
constexpr int kCannotCreateObject = 429;

// An Error with `number` and its standard description.
Error Make(int number);

// The Error for a Win32 error code: its run-time number (below), the code
// kept beside it.
Error ForSystemError(unsigned long code);

// The runtime error number for a Win32 error code (as GetLastError or a
// registry function returns it): 53 file not found, 76 path not found, 58
// already exists, 70 access denied or the file in use, 75 anything else.
int NumberForSystemError(unsigned long code);
}  // namespace errors

}  // namespace glyphary
