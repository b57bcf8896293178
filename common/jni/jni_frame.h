// What every native method of both JNI libraries is built from: class, field and
// method look-up that reports failure one way, owners for local references, and a
// guard that keeps C++ exceptions out of the JVM.
//
// Rule throughout: once a Java exception is pending, the only JNI calls made are
// releases (of array elements, of local references); the native method then
// returns its failure result.
#pragma once

#include <jni.h>

#include <new>
#include <utility>

namespace zav::jni {

// A local reference, deleted when the owner goes. Null is held as nothing.
template <typename T>
class LocalRef {
 public:
  LocalRef() = default;
  LocalRef(JNIEnv* env, T object) : env_(env), object_(object) {}
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  LocalRef(LocalRef&& other) noexcept : env_(other.env_), object_(std::exchange(other.object_, nullptr)) {}
  LocalRef& operator=(LocalRef&& other) noexcept {
    if (this != &other) {
      reset();
      env_ = other.env_;
      object_ = std::exchange(other.object_, nullptr);
    }
    return *this;
  }
  ~LocalRef() { reset(); }

  T get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference on (a native method's result).
  [[nodiscard]] T detach() { return std::exchange(object_, nullptr); }
  void reset() {
    if (object_ != nullptr) env_->DeleteLocalRef(std::exchange(object_, nullptr));
  }

 private:
  JNIEnv* env_ = nullptr;
  T object_ = nullptr;
};

// How a failed look-up is reported to the caller of the native method.
enum class OnMissing {
  kLeavePending,  // the JVM's NoClassDefFoundError / NoSuchFieldError / ... stays pending
  kClear,         // the error is cleared: a class lacking what is looked up is an ordinary failure
};

// Look-ups: an empty result (null) means not found, and then no exception is
// pending under kClear, or the JVM's error is under kLeavePending.
LocalRef<jclass> FindClass(JNIEnv* env, const char* name, OnMissing policy);
LocalRef<jclass> ObjectClass(JNIEnv* env, jobject object);
jmethodID MethodId(JNIEnv* env, jclass cls, const char* name, const char* signature, OnMissing policy);
jfieldID FieldId(JNIEnv* env, jclass cls, const char* name, const char* signature, OnMissing policy);

// Raises a new exception of class `className` with `message`, unless one is
// pending already. When the class cannot be found its NoClassDefFoundError stays
// pending instead; when it is no Throwable, IncompatibleClassChangeError is raised
// in its place (a pending object that is no exception would break the JVM).
void Throw(JNIEnv* env, const char* className, const char* message);

// Why a guarded body did not return.
enum class Escape { kOutOfMemory, kOther };

// Runs the body of a native method. A C++ exception escaping it goes to
// `onEscape` (which may raise a Java exception or do nothing) and the native
// method returns the default of its result type: false, 0 or null.
template <typename Body, typename OnEscape>
auto Guarded(Body&& body, OnEscape&& onEscape) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    onEscape(Escape::kOutOfMemory);
  } catch (...) {
    onEscape(Escape::kOther);
  }
  return decltype(body())();
}

}  // namespace zav::jni
