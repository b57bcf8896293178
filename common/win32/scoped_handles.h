// Owners that close what they hold exactly once: registry keys, kernel handles,
// service manager handles, windows; COM interface pointers through ComRef.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace zav::win32 {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;
  ScopedHandle() = default;
  explicit ScopedHandle(Handle h) : h_(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Traits::Invalid()));
    return *this;
  }
  ~ScopedHandle() { reset(); }

  void reset(Handle h = Traits::Invalid()) {
    if (Traits::IsValid(h_)) Traits::Close(h_);
    h_ = h;
  }
  Handle get() const { return h_; }
  // For out-parameters: closes what is held first.
  Handle* receive() {
    reset();
    return &h_;
  }
  explicit operator bool() const { return Traits::IsValid(h_); }

 private:
  Handle h_ = Traits::Invalid();
};

// Traits of a handle that is null when there is none, closed by `close`.
template <typename H, auto close>
struct NullIsNone {
  using Handle = H;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { close(h); }
};

// CreateFile reports failure as INVALID_HANDLE_VALUE, most other calls as null;
// both count as "nothing held".
struct KernelHandleTraits : NullIsNone<HANDLE, &CloseHandle> {
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};

using ScopedHKey = ScopedHandle<NullIsNone<HKEY, &RegCloseKey>>;
using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedServiceHandle = ScopedHandle<NullIsNone<SC_HANDLE, &CloseServiceHandle>>;
using ScopedWindow = ScopedHandle<NullIsNone<HWND, &DestroyWindow>>;

}  // namespace zav::win32
