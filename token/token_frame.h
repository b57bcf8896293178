// What every native method of qtokcom.qTokAPI shares: the call and its outcome,
// raising ComFailException, the addresses kept in the Java object, the arrays
// copied for one call and checked against the numbers that describe them, one
// component call on the apartment thread, and keeping C++ exceptions out of the
// JVM.
//
// Rule throughout: a failure is raised as the last thing a native method does,
// after its arrays went back (copying back is not allowed with an exception
// pending). Once the JVM's own exception is pending, the only JNI calls made are
// the releases of references.
#pragma once

#include "common/jni/jni_frame.h"
#include "common/jni/jni_native.h"

#include <cstddef>
#include <cstdint>

#include "token/apartment.h"
#include "token/failure_text.h"
#include "token/held_objects.h"
#include "token/token_component.h"

namespace qtok {

// One native method's call: its environment, its qTokAPI object and the Java
// method's name (the entry point's name without its class prefix).
struct Native {
  Native(JNIEnv* env, jobject self, const char* function);
  JNIEnv* env;
  jobject self;
  const char* method;
};

// What a call came to: the result and what is known of why it failed.
struct Outcome {
  HRESULT result = 0;
  Text reason;
  bool ok() const { return !Failed(result); }
};

// Raises ComFailException for hr with the call's method and `reason`, unless an
// exception is pending already (the JVM's stays). When the class cannot be found
// the JVM's NoClassDefFoundError is left pending instead; when it is no
// Throwable, IncompatibleClassChangeError is raised in its place.
void ThrowComFail(const Native& call, HRESULT hr, const Text& reason = Text());
inline void Raise(const Native& call, const Outcome& outcome) {
  if (!outcome.ok()) ThrowComFail(call, outcome.result, outcome.reason);
}

// The byte array in field `name` ("[B") of self when it can hold an address
// (8 bytes or more); null when the field is null or shorter. Returns false with
// the JVM's error pending when the field does not exist.
bool FindHolder(JNIEnv* env, jobject self, const char* name, jbyteArray* holder);

// Reads the address kept in bytes 0-7 of field `name` (0 when none is held).
// Returns false with the JVM's error pending.
bool LoadAddress(JNIEnv* env, jobject self, const char* name, std::uintptr_t* address);

// Writes `address`, little-endian and zero-extended, into bytes 0-7 of holder.
void StoreAddress(JNIEnv* env, jbyteArray holder, std::uintptr_t address);

// Drops `objects` on the apartment thread and waits: what they held last is released.
void ReleaseOnApartment(std::vector<Hold>&& objects);

// Wipes memory that held secrets, in a way the compiler keeps.
void Wipe(void* bytes, std::size_t count);

// How an array goes back after the call.
enum class Handed {
  kInOut,   // copied back: the Java array shows what the component wrote
  kInOnly,  // a code or PIN: never copied back
};

// The arrays of one native method, copied into buffers of this library for the
// call (a null array gives a null pointer), and the numbers that describe them
// checked as they are lent, in parameter order. When the method ends each buffer
// is copied back (kInOut, unless the JVM's own exception is pending: the component
// was then not reached) and wiped before it is freed, so that no PIN, key or data
// stays behind in freed memory.
//
// A check that fails does not raise: it keeps its reason for Invoke, which
// refuses the call with E_INVALIDARG once the object is found (a missing object
// is reported first).
class ArrayLoans {
 public:
  explicit ArrayLoans(JNIEnv* env) : env_(env) {}
  ArrayLoans(const ArrayLoans&) = delete;
  ArrayLoans& operator=(const ArrayLoans&) = delete;
  ~ArrayLoans();

  std::int32_t Pass(jint value);
  Bytes Borrow(jbyteArray array, Handed handed = Handed::kInOut);
  Ints Borrow(jintArray array);
  // A number of elements of the array lent just before it: not negative, and
  // within that array unless it is null.
  std::int32_t Length(jint value);
  // An array the component writes `needed` elements into (`what` says what it
  // is); a null one is passed on as null.
  Bytes BorrowAtLeast(jbyteArray array, jsize needed, const char* what);
  Ints BorrowAtLeast(jintArray array, jsize needed, const char* what);
  // The largest number checked by Length so far.
  jsize longest() const { return longest_; }

  // Null when every argument passed its check; otherwise the first reason.
  const Text* refusal() const { return refused_ ? &refusal_ : nullptr; }

 private:
  struct Loan {
    jarray array;
    void* copy;
    jsize length;
    bool ints;
    bool copy_back;
  };
  static constexpr int kCapacity = 5;  // the most arrays any native method takes
  void* Copy(jarray array, bool ints, bool copy_back);
  void Refuse(const Text& reason);
  // Refuses the array lent last when it is shorter than `needed` (not when null).
  void NeedAtLeast(jsize needed, const char* unit, const char* what);
  void Parameter(Text& text, int position) const;

  JNIEnv* env_;
  Loan loans_[kCapacity] = {};
  int count_ = 0;
  int position_ = 0;         // of the argument being lent, from 1
  int array_position_ = 0;   // of the array lent last
  jsize array_length_ = -1;  // its length, -1 for null
  jsize longest_ = 0;
  bool refused_ = false;
  Text refusal_;
};

// What the binding knows of each of the two objects: the qTokAPI field that holds
// it, its kind in the held-objects table, its interface, and the reason a call
// gives when the object is not there.
struct ObjectTraits {
  const char* field;
  ObjectKind kind;
  const GUID& interfaceId;
  const char* missing;
};
template <typename Interface>
extern const ObjectTraits kObjectOf;
template <>
inline constexpr ObjectTraits kObjectOf<ITokenApi> = {
    "handle", ObjectKind::kToken, kTokenInterfaceId,
    "no token object: Init has not run on this object, or Uninit has"};
template <>
inline constexpr ObjectTraits kObjectOf<IHashApi> = {
    "hash", ObjectKind::kHash, kHashInterfaceId,
    "no hash object: Init has not run on this object, or Uninit has"};

// Finds the object of `Interface` the Java object holds and runs `operation` on
// it on the apartment thread, holding it for the call. The outcome:
// 0x80105001 when no object of this library is held there, E_INVALIDARG when
// `loans` refused an argument (the component is then not called), otherwise the
// operation's result with the component's description of a failure. When
// reading the holder raised the JVM's error, that error is pending.
template <typename Interface, typename Operation>
Outcome Invoke(const Native& call, const ArrayLoans* loans, Operation&& operation) {
  constexpr const ObjectTraits& of = kObjectOf<Interface>;
  Outcome outcome;
  std::uintptr_t address = 0;
  if (!LoadAddress(call.env, call.self, of.field, &address)) {
    outcome.result = kUnexpected;
    return outcome;
  }
  Hold held = held_objects::Find(call.env, call.self, of.kind, address);
  if (!held) {
    outcome.result = kNoObject;
    outcome.reason.Append(of.missing);
    return outcome;
  }
  if (loans != nullptr && loans->refusal() != nullptr) {
    outcome.result = kInvalidArg;
    outcome.reason.Append(*loans->refusal());
    return outcome;
  }
  outcome.result = Apartment::Get().Run(
      [&]() -> HRESULT {
        auto* object = static_cast<Interface*>(held->get());
        const HRESULT hr = operation(object);
        if (Failed(hr)) DescribeComponentFailure(object, of.interfaceId, outcome.reason);
        return hr;
      },
      outcome.reason);
  return outcome;
}

// Runs the body of a native method; a C++ exception escaping it becomes
// ComFailException (E_OUTOFMEMORY for bad_alloc, E_UNEXPECTED otherwise).
template <typename Body>
auto Guarded(const Native& call, Body&& body) noexcept -> decltype(body()) {
  return zav::jni::Guarded(body, [&call](zav::jni::Escape escape) {
    Text reason;
    reason.Append(escape == zav::jni::Escape::kOutOfMemory ? "out of memory"
                                                           : "a C++ exception escaped the call");
    ThrowComFail(call, escape == zav::jni::Escape::kOutOfMemory ? kOutOfMemory : kUnexpected, reason);
  });
}

}  // namespace qtok
