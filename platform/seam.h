// A restorable, process-wide seam: the code that reaches the OS asks
// Seam<Interface>::Find() for the implementation in force. The exe installs
// the real Win32 implementations once at start-up; a test installs a
// recording stand-in with Seam<Interface>::Override, which puts back what
// was there before when it goes out of scope.
#pragma once

#include <cstddef>

namespace glyphary::platform {

template <class Interface>
class Seam {
 public:
  // The implementation in force, or null when none is installed: the
  // facility is simply not available (the callers report error 429).
  static Interface* Find() { return Slot(); }

  // Installs `implementation` for the lifetime of the program.
  static void Install(Interface& implementation) { Slot() = &implementation; }

  // Installs `implementation` until this object is destroyed.
  class Override {
   public:
    explicit Override(Interface& implementation) : previous_(Slot()) { Slot() = &implementation; }
    // Takes the facility away: Find() gives null until this object is destroyed.
    explicit Override(std::nullptr_t) : previous_(Slot()) { Slot() = nullptr; }
    ~Override() { Slot() = previous_; }
    Override(const Override&) = delete;
    Override& operator=(const Override&) = delete;

   private:
    Interface* previous_;
  };

 private:
  static Interface*& Slot() {
    static Interface* slot = nullptr;
    return slot;
  }
};

}  // namespace glyphary::platform
