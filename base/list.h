// A list that grows as items are added, in the manner of std::vector but
// without what that would bring into the exe (libstdc++'s exception-throwing
// growth paths). Items must be default-constructible and movable. Memory
// comes from operator new, which the exe routes to the process heap.
#pragma once

#include <cstddef>
#include <utility>

namespace glyphary {

template <class T>
class List {
 public:
  List() = default;
  List(const List& other) { *this = other; }
  List(List&& other) noexcept { Swap(other); }
  List& operator=(const List& other) {
    if (this != &other) {
      Clear();
      Reserve(other.size_);
      for (const T& item : other) Add(item);
    }
    return *this;
  }
  List& operator=(List&& other) noexcept {
    Swap(other);
    return *this;
  }
  ~List() { delete[] items_; }

  void Add(T item) {
    Reserve(size_ + 1);
    items_[size_++] = std::move(item);
  }
  void Clear() {
    delete[] items_;
    items_ = nullptr;
    size_ = capacity_ = 0;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t i) { return items_[i]; }
  const T& operator[](std::size_t i) const { return items_[i]; }
  T* begin() { return items_; }
  T* end() { return items_ + size_; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }

 private:
  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    std::size_t grown = capacity_ < 8 ? 8 : capacity_ * 2;
    if (grown < capacity) grown = capacity;
    T* larger = new T[grown];
    for (std::size_t i = 0; i < size_; ++i) larger[i] = std::move(items_[i]);
    delete[] items_;
    items_ = larger;
    capacity_ = grown;
  }
  void Swap(List& other) noexcept {
    std::swap(items_, other.items_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

  T* items_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace glyphary
