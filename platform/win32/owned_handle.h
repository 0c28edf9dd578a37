// One owner for the operating system's handles: a registry key, a search
// of a folder, a kernel object (file, process, token, mutex). It closes its
// handle when it goes, with the function that handle is closed with, and is
// moved, never copied.
#pragma once

#include <windows.h>

#include <utility>

namespace glyphary::platform {

// How one kind of handle is closed and which value means "none". (The
// system functions are called, not kept as constant pointers: a constant
// pointer to an imported function trips the link-time optimiser.)
struct RegistryKeyHandle {
  using Handle = HKEY;
  using Close = LONG(WINAPI*)(HKEY);
  static bool Valid(HKEY key) { return key != nullptr; }
  static void CloseDefault(HKEY key) { RegCloseKey(key); }
};
struct FindHandle {
  using Handle = HANDLE;
  using Close = BOOL(WINAPI*)(HANDLE);
  static bool Valid(HANDLE find) { return find != nullptr && find != INVALID_HANDLE_VALUE; }
  static void CloseDefault(HANDLE find) { FindClose(find); }
};
struct KernelHandle {
  using Handle = HANDLE;
  using Close = BOOL(WINAPI*)(HANDLE);
  // CreateFile's failure is INVALID_HANDLE_VALUE, the others' null.
  static bool Valid(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void CloseDefault(HANDLE handle) { CloseHandle(handle); }
};

template <class Kind>
class Owned {
 public:
  using Handle = typename Kind::Handle;
  using Close = typename Kind::Close;

  Owned() = default;
  explicit Owned(Handle handle, Close close = nullptr) : handle_(handle), close_(close) {}
  // An empty owner that will close what it receives with `close` (a test's
  // stand-in for the system function).
  explicit Owned(Close close) : close_(close) {}
  ~Owned() { Reset(); }
  Owned(Owned&& other) noexcept { *this = std::move(other); }
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      Reset();
      std::swap(handle_, other.handle_);
      std::swap(close_, other.close_);
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;

  bool valid() const { return Kind::Valid(handle_); }
  Handle get() const { return handle_; }
  // Where a function that opens one writes it; whatever was held is closed.
  Handle* receive() {
    Reset();
    return &handle_;
  }
  void Reset() {
    if (Kind::Valid(handle_)) {
      if (close_ != nullptr) {
        close_(handle_);
      } else {
        Kind::CloseDefault(handle_);
      }
    }
    handle_ = Handle();
  }

 private:
  Handle handle_ = Handle();
  Close close_ = nullptr;  // null: the system's own function for the kind
};

using OwnedKey = Owned<RegistryKeyHandle>;
using OwnedFind = Owned<FindHandle>;
using OwnedHandle = Owned<KernelHandle>;

}  // namespace glyphary::platform
