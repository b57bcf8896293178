// One counted reference to a COM object (any object with AddRef and Release, the
// token vendor's interfaces on Linux included), released when the owner goes.
// Handles whose counting lives in free functions (the capture graph layer's) say
// so with overloads of ComAddRef and ComRelease in their own namespace.
#pragma once

#include <cstddef>
#include <utility>

namespace zav {

template <typename T>
void ComAddRef(T* p) {
  p->AddRef();
}
template <typename T>
void ComRelease(T* p) {
  p->Release();
}

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(std::nullptr_t) {}
  // Takes over a reference the caller already owns.
  static ComRef Adopt(T* p) {
    ComRef r;
    r.p_ = p;
    return r;
  }
  // Takes a reference of its own to `p`.
  static ComRef Share(T* p) {
    if (p != nullptr) ComAddRef(p);
    return Adopt(p);
  }
  ComRef(const ComRef& o) : p_(o.p_) {
    if (p_ != nullptr) ComAddRef(p_);
  }
  ComRef(ComRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComRef& operator=(ComRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ComRef() { reset(); }

  void reset() {
    if (p_ != nullptr) ComRelease(std::exchange(p_, nullptr));
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** receive() {
    reset();
    return &p_;
  }
  void** receiveVoid() { return reinterpret_cast<void**>(receive()); }
  // Hands the reference on.
  [[nodiscard]] T* detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

}  // namespace zav
