#include "token/token_frame.h"

#include <cstring>
#include <new>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <string.h>  // explicit_bzero
#endif

namespace qtok {

namespace {
constexpr jsize kAddressBytes = 8;
constexpr char kEntryPrefix[] = "Java_qtokcom_qTokAPI_";
}  // namespace

Native::Native(JNIEnv* e, jobject s, const char* function) : env(e), self(s), method(function) {
  if (std::strncmp(function, kEntryPrefix, sizeof kEntryPrefix - 1) == 0) method += sizeof kEntryPrefix - 1;
}

void ThrowComFail(const Native& call, HRESULT hr, const Text& reason) {
  if (call.env->ExceptionCheck()) return;
  zav::jni::Throw(call.env, "qtokcom/ComFailException", FailureMessage(hr, call.method, reason).c_str());
}

bool FindHolder(JNIEnv* env, jobject self, const char* name, jbyteArray* holder) {
  *holder = nullptr;
  zav::jni::LocalRef<jclass> cls = zav::jni::ObjectClass(env, self);
  if (!cls) return false;
  jfieldID field = zav::jni::FieldId(env, cls.get(), name, "[B", zav::jni::OnMissing::kLeavePending);
  if (field == nullptr) return false;
  auto array = static_cast<jbyteArray>(env->GetObjectField(self, field));
  if (array == nullptr) return true;
  if (env->GetArrayLength(array) < kAddressBytes) {
    // Too short to hold an address: it holds none, and nothing is read or written.
    env->DeleteLocalRef(array);
    return true;
  }
  *holder = array;
  return true;
}

bool LoadAddress(JNIEnv* env, jobject self, const char* name, std::uintptr_t* address) {
  *address = 0;
  jbyteArray holder;
  if (!FindHolder(env, self, name, &holder)) return false;
  if (holder == nullptr) return true;
  jbyte bytes[kAddressBytes];
  env->GetByteArrayRegion(holder, 0, kAddressBytes, bytes);
  env->DeleteLocalRef(holder);
  std::uint64_t value = 0;
  for (int i = kAddressBytes - 1; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[i]);
  // A value wider than an address of this build cannot be one of ours.
  if (static_cast<std::uint64_t>(static_cast<std::uintptr_t>(value)) == value) {
    *address = static_cast<std::uintptr_t>(value);
  }
  return true;
}

void StoreAddress(JNIEnv* env, jbyteArray holder, std::uintptr_t address) {
  std::uint64_t value = address;
  jbyte bytes[kAddressBytes];
  for (int i = 0; i < kAddressBytes; ++i) {
    bytes[i] = static_cast<jbyte>(value & 0xFF);
    value >>= 8;
  }
  env->SetByteArrayRegion(holder, 0, kAddressBytes, bytes);
}

void ReleaseOnApartment(std::vector<Hold>&& objects) {
  if (objects.empty()) return;
  Text ignored;
  // Where the apartment cannot run, the holds go here and post their releases:
  // whether it ran changes nothing that follows.
  static_cast<void>(Apartment::Get().Run(
      [&]() -> HRESULT {
        for (Hold& object : objects) object.reset();  // in their order
        return 0;
      },
      ignored));
  for (Hold& object : objects) object.reset();
}

void Wipe(void* bytes, std::size_t count) {
#ifdef _WIN32
  SecureZeroMemory(bytes, count);
#else
  explicit_bzero(bytes, count);
#endif
}

// ---- ArrayLoans ----

ArrayLoans::~ArrayLoans() {
  // The component was not reached when the JVM's own exception is pending.
  const bool copy_back = !env_->ExceptionCheck();
  for (int i = count_ - 1; i >= 0; --i) {
    const Loan& loan = loans_[i];
    if (loan.ints) {
      auto* copy = static_cast<jint*>(loan.copy);
      if (copy_back && loan.copy_back) {
        env_->SetIntArrayRegion(static_cast<jintArray>(loan.array), 0, loan.length, copy);
      }
      Wipe(copy, (static_cast<std::size_t>(loan.length) + 1) * sizeof(jint));
      delete[] copy;
    } else {
      auto* copy = static_cast<jbyte*>(loan.copy);
      if (copy_back && loan.copy_back) {
        env_->SetByteArrayRegion(static_cast<jbyteArray>(loan.array), 0, loan.length, copy);
      }
      Wipe(copy, static_cast<std::size_t>(loan.length) + 1);
      delete[] copy;
    }
  }
}

void ArrayLoans::Parameter(Text& text, int position) const { text.Append("p").AppendNumber(position); }

void ArrayLoans::Refuse(const Text& reason) {
  if (refused_) return;  // the first reason is the one given
  refused_ = true;
  refusal_ = reason;
}

void* ArrayLoans::Copy(jarray array, bool ints, bool copy_back) {
  ++position_;
  array_position_ = position_;
  array_length_ = -1;
  if (array == nullptr) return nullptr;
  const jsize length = env_->GetArrayLength(array);
  array_length_ = length;
  if (count_ == kCapacity) throw std::logic_error("more arrays than any native method takes");
  // One element more than the array has: an empty array still gets a pointer of its own.
  void* copy;
  if (ints) {
    auto* elements = new jint[static_cast<std::size_t>(length) + 1];
    env_->GetIntArrayRegion(static_cast<jintArray>(array), 0, length, elements);
    copy = elements;
  } else {
    auto* elements = new jbyte[static_cast<std::size_t>(length) + 1];
    env_->GetByteArrayRegion(static_cast<jbyteArray>(array), 0, length, elements);
    copy = elements;
  }
  loans_[count_++] = Loan{array, copy, length, ints, copy_back};
  return copy;
}

std::int32_t ArrayLoans::Pass(jint value) {
  ++position_;
  return value;
}

Bytes ArrayLoans::Borrow(jbyteArray array, Handed handed) {
  return static_cast<Bytes>(Copy(array, false, handed == Handed::kInOut));
}

Ints ArrayLoans::Borrow(jintArray array) {
  static_assert(sizeof(jint) == sizeof(std::int32_t));
  return static_cast<Ints>(Copy(array, true, true));
}

std::int32_t ArrayLoans::Length(jint value) {
  ++position_;
  if (value < 0 || (array_length_ >= 0 && value > array_length_)) {
    Text why;
    Parameter(why, position_);
    why.Append(" (").AppendNumber(value).Append(") is ");
    if (value < 0) {
      why.Append("negative");
    } else {
      why.Append("more than the ").AppendNumber(array_length_).Append(" elements of ");
      Parameter(why, array_position_);
    }
    Refuse(why);
  }
  if (value > longest_) longest_ = value;
  return value;
}

void ArrayLoans::NeedAtLeast(jsize needed, const char* unit, const char* what) {
  if (array_length_ < 0 || array_length_ >= needed) return;
  Text why;
  Parameter(why, position_);
  why.Append(" has ").AppendNumber(array_length_).Append(" ").Append(unit).Append("; ").Append(what);
  Refuse(why.Append(" takes ").AppendNumber(needed));
}

Bytes ArrayLoans::BorrowAtLeast(jbyteArray array, jsize needed, const char* what) {
  Bytes copy = Borrow(array);
  NeedAtLeast(needed, "bytes", what);
  return copy;
}

Ints ArrayLoans::BorrowAtLeast(jintArray array, jsize needed, const char* what) {
  Ints copy = Borrow(array);
  NeedAtLeast(needed, "elements", what);
  return copy;
}

}  // namespace qtok
