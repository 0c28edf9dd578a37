// A list of at most N elements stored in place: the forms, their controls
// and fonts are few and known in number, so no heap and no growth.
#pragma once

#include <cstddef>
#include <initializer_list>

namespace glyphary {

template <class T, std::size_t N>
class FixedList {
 public:
  FixedList() = default;
  // The first N of `items` (a description lists no more than it holds).
  FixedList(std::initializer_list<T> items) {
    for (const T& item : items) {
      if (!Add(item)) break;
    }
  }

  // Adds `item` at the end; false (and nothing added) when the list is full.
  [[nodiscard]] bool Add(const T& item) {
    if (size_ == N) return false;
    items_[size_++] = item;
    return true;
  }
  void Clear() { size_ = 0; }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return items_[i]; }
  const T& operator[](std::size_t i) const { return items_[i]; }
  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }

 private:
  T items_[N] = {};
  std::size_t size_ = 0;
};

}  // namespace glyphary
