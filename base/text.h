// Text the program builds: one small owned buffer type, in the manner of a
// stack string. Borrowed text is a std::basic_string_view; what is built
// (a path joined from parts, an ANSI conversion, an error message) lives in
// a Text. Always NUL-terminated, so that it can go to a Windows function as
// it is. Memory comes from operator new; the exe routes that to the process
// heap and ends with an error box when it runs out.
#pragma once

#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <iosfwd>
#include <string_view>
#include <utility>

namespace glyphary {

template <class Char>
class Text {
 public:
  using View = std::basic_string_view<Char>;

  Text() = default;
  // From borrowed text, as std::basic_string is (a copy is made).
  Text(View text) { Append(text); }          // NOLINT(google-explicit-constructor)
  Text(const Char* text) { Append(View(text)); }  // NOLINT(google-explicit-constructor)
  Text(const Text& other) { Append(other.view()); }
  Text(Text&& other) noexcept { Swap(other); }
  Text& operator=(const Text& other) {
    if (this != &other) {
      Clear();
      Append(other.view());
    }
    return *this;
  }
  Text& operator=(Text&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~Text() { delete[] data_; }

  Text& Append(View text) {
    Reserve(size_ + text.size());
    if (!text.empty()) std::memmove(data_ + size_, text.data(), text.size() * sizeof(Char));
    size_ += text.size();
    data_[size_] = Char{};
    return *this;
  }
  Text& Append(Char c) { return Append(View(&c, 1)); }

  // Makes room for `capacity` characters and the NUL without moving the text.
  void Reserve(std::size_t capacity) {
    if (capacity < capacity_) return;
    std::size_t grown = capacity_ * 2 > capacity + 1 ? capacity_ * 2 : capacity + 1;
    if (grown < 16) grown = 16;
    Char* larger = new Char[grown];
    if (size_ != 0) std::memcpy(larger, data_, size_ * sizeof(Char));
    larger[size_] = Char{};
    delete[] data_;
    data_ = larger;
    capacity_ = grown;
  }
  // `size` characters: the text cut short, or padded with NULs (for a
  // Windows function to write into, through data()).
  void Resize(std::size_t size) {
    Reserve(size);
    for (std::size_t i = size_; i < size; ++i) data_[i] = Char{};
    size_ = size;
    data_[size_] = Char{};
  }
  void Clear() { Resize(0); }

  View view() const { return View(c_str(), size_); }
  // Lends the text as a view, so that a Text goes wherever a view is taken.
  // The view lives no longer than the Text and its next change.
  operator View() const { return view(); }  // NOLINT(google-explicit-constructor)
  const Char* c_str() const {
    static constexpr Char kEmpty[1] = {Char{}};
    return data_ != nullptr ? data_ : kEmpty;
  }
  Char* data() { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  Char back() const { return data_[size_ - 1]; }

  friend bool operator==(const Text& a, View b) { return a.view() == b; }
  friend bool operator==(const Text& a, const Char* b) { return a.view() == View(b); }
  friend bool operator==(const Char* a, const Text& b) { return View(a) == b.view(); }
  friend bool operator!=(const Text& a, const Char* b) { return !(a == b); }
  friend bool operator==(View a, const Text& b) { return a == b.view(); }
  friend bool operator==(const Text& a, const Text& b) { return a.view() == b.view(); }
  friend bool operator!=(const Text& a, View b) { return !(a == b); }
  friend bool operator!=(const Text& a, const Text& b) { return !(a == b); }

 private:
  void Swap(Text& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  Char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;  // characters, with room for the NUL
};

using WideText = Text<wchar_t>;
using NarrowText = Text<char>;

// Lets GoogleTest print a Text the way it prints a string (found by
// argument-dependent look-up). Defined in the tests' support library only:
// nothing that ships prints.
void PrintTo(const Text<wchar_t>& text, std::ostream* out);
void PrintTo(const Text<char>& text, std::ostream* out);

// The views of `parts` one after the other, as a new text.
WideText JoinViews(std::initializer_list<std::wstring_view> parts);

// Joins texts and views into a new text: Joined(L"C:\\", name, L".ico").
// Each part is lent as a view, so that one function does the work for every
// mix of parts.
template <class... Parts>
WideText Joined(const Parts&... parts) {
  return JoinViews({std::wstring_view(parts)...});
}

}  // namespace glyphary
