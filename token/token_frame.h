// What every native method of qtokcom.qTokAPI shares: raising ComFailException,
// the two component objects kept in the Java object, borrowing array elements
// for one call, and keeping C++ exceptions out of the JVM.
//
// Rule throughout: once a Java exception is pending, the only JNI calls made are
// the element releases; the native method then returns.
#pragma once

#include "jni_frame.h"
#include "jni_native.h"

#include <cstddef>

#include "token_component.h"

namespace qtok {

// Raises qtokcom.ComFailException with "ER: 0x%08x" of hr. When the class cannot
// be found, the JVM's NoClassDefFoundError stays pending instead; when it is no
// Throwable, IncompatibleClassChangeError is raised in its place.
void ThrowComFail(JNIEnv* env, HRESULT hr);

// The byte array in field `name` ("[B") of self when it can hold a pointer
// (8 bytes or more); null when the field is null or shorter. Returns false with
// the JVM's error pending when the field does not exist.
bool FindHolder(JNIEnv* env, jobject self, const char* name, jbyteArray* holder);

// Reads the pointer kept in bytes 0-7 of field `name`; *object is null when none
// is held. Returns false with a Java exception pending.
bool LoadObject(JNIEnv* env, jobject self, const char* name, void** object);

// Writes pointer p, little-endian and zero-extended, into bytes 0-7 of holder.
bool StorePointer(JNIEnv* env, jbyteArray holder, const void* p);

template <typename Interface>
struct HolderField;
template <>
struct HolderField<ITokenApi> {
  static constexpr const char* kName = "handle";
};
template <>
struct HolderField<IHashApi> {
  static constexpr const char* kName = "hash";
};

// Fetches the object kept in the Java object (token or hash) and runs one
// operation on it. True when it succeeded (any non-negative result); otherwise an
// exception is pending: ComFailException with 0x80105001 when no object is held,
// with the operation's result when that is negative.
template <typename Interface, typename Operation>
bool Invoke(JNIEnv* env, jobject self, Operation&& operation) {
  void* object = nullptr;
  if (!LoadObject(env, self, HolderField<Interface>::kName, &object)) return false;
  if (object == nullptr) {
    ThrowComFail(env, kNoObject);
    return false;
  }
  HRESULT hr = operation(static_cast<Interface*>(object));
  if (Failed(hr)) {
    ThrowComFail(env, hr);
    return false;
  }
  return true;
}

// Array elements borrowed for one native method, released with mode 0 (copy back
// and free) when it ends, whatever path it takes. Null arrays give null pointers
// and are never released. Once obtaining elements fails (OutOfMemoryError pending)
// no further elements are requested.
class ArrayLoans {
 public:
  explicit ArrayLoans(JNIEnv* env) : env_(env) {}
  ArrayLoans(const ArrayLoans&) = delete;
  ArrayLoans& operator=(const ArrayLoans&) = delete;
  ~ArrayLoans();

  Bytes Borrow(jbyteArray array);
  Ints Borrow(jintArray array);
  bool failed() const { return failed_; }

 private:
  struct Loan {
    jarray array;
    void* elements;
    bool ints;
  };
  static constexpr int kCapacity = 5;  // the most arrays any native method takes
  bool Usable(jarray array) const;
  // Records elements obtained for `array`; null (and no further loans) when none came.
  void* Keep(jarray array, void* elements, bool ints);
  JNIEnv* env_;
  Loan loans_[kCapacity] = {};
  int count_ = 0;
  bool failed_ = false;
};

// Raises ComFailException with hr unless a Java exception is already pending.
void RaiseUnlessPending(JNIEnv* env, HRESULT hr);

// Runs the body of a native method; a C++ exception escaping it becomes
// ComFailException (E_OUTOFMEMORY for bad_alloc, E_UNEXPECTED otherwise).
template <typename Body>
auto Guarded(JNIEnv* env, Body&& body) noexcept -> decltype(body()) {
  return zav::jni::Guarded(body, [env](zav::jni::Escape escape) {
    RaiseUnlessPending(env, escape == zav::jni::Escape::kOutOfMemory ? kOutOfMemory : kUnexpected);
  });
}

}  // namespace qtok
