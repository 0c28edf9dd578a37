// A callable borrowed for as long as its owner lives: a pointer to it and to
// one function that calls it, no copy and no allocation (what std::function
// would cost). The callable must outlive every FunctionRef to it. A default
// FunctionRef refers to nothing and tests false.
#pragma once

namespace glyphary {

template <class Signature>
class FunctionRef;

template <class Result, class... Args>
class FunctionRef<Result(Args...)> {
 public:
  FunctionRef() = default;
  template <class Callable>
  explicit FunctionRef(Callable& callable)
      : target_(&callable), call_([](void* target, Args... args) -> Result {
          return (*static_cast<Callable*>(target))(args...);
        }) {}

  explicit operator bool() const { return call_ != nullptr; }
  Result operator()(Args... args) const { return call_(target_, args...); }

 private:
  void* target_ = nullptr;
  Result (*call_)(void*, Args...) = nullptr;
};

}  // namespace glyphary
