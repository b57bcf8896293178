// The owner of a VARIANT: initialized when made, cleared (its string or object
// released) when it goes.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace zav::win32 {

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;
  ~ScopedVariant() { VariantClear(&v_); }
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }
  const VARIANT* operator->() const { return &v_; }

 private:
  VARIANT v_;
};

}  // namespace zav::win32
