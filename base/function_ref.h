// A callable borrowed for the length of a call: a pointer to it and to one
// function that calls it, no copy and no allocation (what std::function would
// cost). The callable must outlive the FunctionRef.
#pragma once

namespace glyphary {

template <class Signature>
class FunctionRef;

template <class Result, class... Args>
class FunctionRef<Result(Args...)> {
 public:
  template <class Callable>
  explicit FunctionRef(Callable& callable)
      : target_(&callable), call_([](void* target, Args... args) -> Result {
          return (*static_cast<Callable*>(target))(args...);
        }) {}

  Result operator()(Args... args) const { return call_(target_, args...); }

 private:
  void* target_;
  Result (*call_)(void*, Args...);
};

}  // namespace glyphary
