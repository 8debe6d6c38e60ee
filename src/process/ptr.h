#pragma once

#include <unknwn.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace process {

class TIBasic;

// The one owner of an interface reference: copying adds one, leaving scope releases one.
// The model's interfaces keep AddRef and Release private with Ptr as their friend, so a
// stray `p->Release()` does not compile.
template <class T>
class Ptr {
 public:
  Ptr() noexcept = default;
  Ptr(std::nullptr_t) noexcept {}
  // Takes a reference of its own; objects start with a count of 0 (see Make).
  explicit Ptr(T* object) noexcept : p_(object) {
    if (p_) p_->AddRef();
  }
  Ptr(const Ptr& other) noexcept : Ptr(other.p_) {}
  Ptr(Ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ptr(const Ptr<U>& other) noexcept : Ptr(static_cast<T*>(other.get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ptr(Ptr<U>&& other) noexcept : p_(other.Detach()) {}
  ~Ptr() { Reset(); }

  Ptr& operator=(Ptr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  void Reset() noexcept {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }

  // The same object through another of its interfaces, or null when it has none.
  template <class U>
  Ptr<U> As() const {
    Ptr<U> result;
    if (p_) p_->QueryInterface(U::kIid, reinterpret_cast<void**>(result.Slot()));
    return result;
  }

 private:
  template <class U>
  friend class Ptr;
  friend class TIBasic;

  struct Adopt {};
  // Takes over a reference the caller already holds.
  Ptr(T* object, Adopt) noexcept : p_(object) {}

  // Only for moving between Ptr types and for QueryInterface's out-parameter.
  T* Detach() noexcept { return std::exchange(p_, nullptr); }
  T** Slot() noexcept {
    Reset();
    return &p_;
  }

  T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const Ptr<T>& a, const Ptr<U>& b) {
  return static_cast<const IUnknown*>(a.get()) == static_cast<const IUnknown*>(b.get());
}
template <class T, class U>
bool operator!=(const Ptr<T>& a, const Ptr<U>& b) {
  return !(a == b);
}

// Every object of the model is made here and owned by the returned reference from the start.
template <class C, class... Args>
Ptr<C> Make(Args&&... args) {
  return Ptr<C>(new C(std::forward<Args>(args)...));
}

}  // namespace process
