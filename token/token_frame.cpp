#include "token_frame.h"

#include <cstdint>
#include <cstdio>

namespace qtok {

namespace {
constexpr jsize kPointerBytes = 8;
}  // namespace

void ThrowComFail(JNIEnv* env, HRESULT hr) {
  char message[16];
  std::snprintf(message, sizeof message, "ER: 0x%08x", static_cast<unsigned>(static_cast<std::uint32_t>(hr)));
  zav::jni::Throw(env, "qtokcom/ComFailException", message);
}

void RaiseUnlessPending(JNIEnv* env, HRESULT hr) {
  if (!env->ExceptionCheck()) ThrowComFail(env, hr);
}

bool FindHolder(JNIEnv* env, jobject self, const char* name, jbyteArray* holder) {
  *holder = nullptr;
  zav::jni::LocalRef<jclass> cls = zav::jni::ObjectClass(env, self);
  if (!cls) return false;
  jfieldID field = zav::jni::FieldId(env, cls.get(), name, "[B", zav::jni::OnMissing::kLeavePending);
  if (field == nullptr) return false;
  auto array = static_cast<jbyteArray>(env->GetObjectField(self, field));
  if (array == nullptr) return true;
  if (env->GetArrayLength(array) < kPointerBytes) {
    // Too short to hold a pointer: it holds none, and nothing is read or written.
    env->DeleteLocalRef(array);
    return true;
  }
  *holder = array;
  return true;
}

bool LoadObject(JNIEnv* env, jobject self, const char* name, void** object) {
  *object = nullptr;
  jbyteArray holder;
  if (!FindHolder(env, self, name, &holder)) return false;
  if (holder == nullptr) return true;
  jbyte bytes[kPointerBytes];
  env->GetByteArrayRegion(holder, 0, kPointerBytes, bytes);
  env->DeleteLocalRef(holder);
  if (env->ExceptionCheck()) return false;
  std::uint64_t value = 0;
  for (int i = kPointerBytes - 1; i >= 0; --i) {
    value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
  }
  // A value wider than a pointer of this build cannot be one of ours.
  if (static_cast<std::uint64_t>(static_cast<std::uintptr_t>(value)) != value) return true;
  *object = reinterpret_cast<void*>(static_cast<std::uintptr_t>(value));
  return true;
}

bool StorePointer(JNIEnv* env, jbyteArray holder, const void* p) {
  std::uint64_t value = reinterpret_cast<std::uintptr_t>(p);
  jbyte bytes[kPointerBytes];
  for (int i = 0; i < kPointerBytes; ++i) {
    bytes[i] = static_cast<jbyte>(value & 0xFF);
    value >>= 8;
  }
  env->SetByteArrayRegion(holder, 0, kPointerBytes, bytes);
  return !env->ExceptionCheck();
}

ArrayLoans::~ArrayLoans() {
  for (int i = count_ - 1; i >= 0; --i) {
    const Loan& loan = loans_[i];
    if (loan.ints) {
      env_->ReleaseIntArrayElements(static_cast<jintArray>(loan.array), static_cast<jint*>(loan.elements), 0);
    } else {
      env_->ReleaseByteArrayElements(static_cast<jbyteArray>(loan.array), static_cast<jbyte*>(loan.elements),
                                     0);
    }
  }
}

bool ArrayLoans::Usable(jarray array) const { return array != nullptr && !failed_ && count_ < kCapacity; }

void* ArrayLoans::Keep(jarray array, void* elements, bool ints) {
  if (elements == nullptr) {
    failed_ = true;
    return nullptr;
  }
  loans_[count_++] = Loan{array, elements, ints};
  return elements;
}

Bytes ArrayLoans::Borrow(jbyteArray array) {
  if (!Usable(array)) return nullptr;
  return static_cast<Bytes>(Keep(array, env_->GetByteArrayElements(array, nullptr), false));
}

Ints ArrayLoans::Borrow(jintArray array) {
  static_assert(sizeof(jint) == sizeof(std::int32_t));
  if (!Usable(array)) return nullptr;
  return static_cast<Ints>(Keep(array, env_->GetIntArrayElements(array, nullptr), true));
}

}  // namespace qtok
