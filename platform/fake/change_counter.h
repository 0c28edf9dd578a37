// The stand-ins' count of the changes they make to the machine, shared by
// the file system and the registry of one stand-in machine. A test that
// wants to stop a run at any instant watches it: after the N-th change it
// keeps a copy of the machine as it is then, which is what a kill at that
// instant leaves on disk.
#pragma once

#include <functional>

namespace glyphary::platform {

class ChangeCounter {
 public:
  // Called after every change, with its number (from 1).
  std::function<void(int)> after_change;

  void Changed() {
    ++count_;
    if (after_change) after_change(count_);
  }
  int count() const { return count_; }

 private:
  int count_ = 0;
};

// A stand-in's link to the counter that watches it. A copy of a stand-in (a
// machine kept as a kill left it) starts unwatched.
class CounterLink {
 public:
  CounterLink() = default;
  CounterLink(const CounterLink&) {}
  CounterLink& operator=(const CounterLink&) {
    counter_ = nullptr;
    return *this;
  }
  void Watch(ChangeCounter* counter) { counter_ = counter; }
  void Changed() const {
    if (counter_ != nullptr) counter_->Changed();
  }

 private:
  ChangeCounter* counter_ = nullptr;
};

}  // namespace glyphary::platform
