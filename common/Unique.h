// Move-only owner of one handle of a kind described by a Traits type
// (Type, Invalid(), Close()). Every handle the program holds lives in one of
// these, so each kind is closed in exactly one place.
#pragma once
#include <utility>

template <class Traits>
class Unique {
public:
  using Type = typename Traits::Type;

  Unique() noexcept : value_(Traits::Invalid()) {}
  explicit Unique(Type value) noexcept : value_(value) {}
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.Release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~Unique() { Reset(); }

  Type Get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

  Type Release() noexcept { return std::exchange(value_, Traits::Invalid()); }
  void Reset(Type value = Traits::Invalid()) noexcept {
    Type old = std::exchange(value_, value);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

private:
  Type value_;
};
