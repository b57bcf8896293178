// The native methods of qtokcom.qTokAPI. Each copies its arrays in parameter
// order, checking the numbers that describe them, finds the object it uses, makes
// one call on the apartment thread and turns a negative result into
// ComFailException once its arrays went back. All 39 are here, one line each,
// so that their one shape, and what each argument is to the component, can be
// read at a glance.
#include <jni.h>

#include <cstdint>
#include <mutex>
#include <tuple>
#include <type_traits>

#include "token/token_frame.h"
#include "token/records.h"
#include "token/token_component.h"

using namespace qtok;

namespace {

constexpr jsize kDigestBytes = 16;

// What an argument is to the component where the binding can tell. Any other
// array is a buffer whose size the caller and the component agree on.
struct Length {  // how many elements of the array just before it the component takes
  jint value;
};
struct Code {  // a PIN or code: handed in only, never copied back
  jbyteArray array;
};
struct Digest {  // takes the 16-byte digest the component writes
  jbyteArray array;
};
struct Count {  // takes the one number the component writes
  jintArray array;
};
struct LongerInput {  // takes as many bytes as the longer of the two inputs before it
  jbyteArray array;
};

// An argument as the component takes it, lent in parameter order.
std::int32_t Lend(ArrayLoans& loans, jint value) { return loans.Pass(value); }
std::int32_t Lend(ArrayLoans& loans, Length length) { return loans.Length(length.value); }
Bytes Lend(ArrayLoans& loans, jbyteArray array) { return loans.Borrow(array); }
Ints Lend(ArrayLoans& loans, jintArray array) { return loans.Borrow(array); }
Bytes Lend(ArrayLoans& loans, Code code) { return loans.Borrow(code.array, Handed::kInOnly); }
Bytes Lend(ArrayLoans& loans, Digest digest) {
  return loans.BorrowAtLeast(digest.array, kDigestBytes, "the digest");
}
Ints Lend(ArrayLoans& loans, Count count) { return loans.BorrowAtLeast(count.array, 1, "the count"); }
Bytes Lend(ArrayLoans& loans, LongerInput result) {
  return loans.BorrowAtLeast(result.array, loans.longest(), "the result of the longer input");
}

// A method whose work is one call of `method` on the object of `Api` the Java
// object holds, with the method's arguments (then `record`, when given).
template <typename Api, typename Method, typename Record, typename... Args>
Outcome Forward(const Native& call, Method method, Record* record, Args... args) {
  ArrayLoans loans(call.env);
  // A braced list lends left to right.
  std::tuple<decltype(Lend(loans, args))...> lent{Lend(loans, args)...};
  return Invoke<Api>(call, &loans, [&](Api* api) {
    return std::apply(
        [&](auto... a) {
          if constexpr (std::is_void_v<Record>) {
            return (api->*method)(a...);
          } else {
            return (api->*method)(a..., record);
          }
        },
        lent);
  });
}

template <typename Api, typename Method, typename... Args>
void Call(const Native& call, Method method, Args... args) {
  Guarded(call, [&] { Raise(call, Forward<Api>(call, method, static_cast<void*>(nullptr), args...)); });
}

// A record exchanged with the token object: filled by it (a zero-filled buffer,
// written back on success), handed to it (read from the Java object before the
// call) or both.
enum class RecordWay { kFilled, kHanded, kExchanged };
template <typename Record, typename Method, typename... Args>
void CallWithRecord(const Native& call, RecordWay way, jobject object, const RecordLayout& layout,
                    Method method, Args... args) {
  Guarded(call, [&] {
    RecordBinding binding;
    if (!binding.Bind(call, object, layout)) return;
    Record buffer{};
    if (way != RecordWay::kFilled) binding.Read(call.env, &buffer);
    const Outcome outcome = Forward<ITokenApi>(call, method, &buffer, args...);
    if (outcome.ok() && way != RecordWay::kHanded) binding.Write(call.env, &buffer);
    Raise(call, outcome);
  });
}

// The two version queries: one integer filled by the component. When an exception
// is raised the value returned is discarded by the JVM.
template <typename Query>
jint QueryVersion(const Native& call, Query&& query) {
  return Guarded(call, [&]() -> jint {
    std::int32_t version = 0;
    Raise(call, Invoke<ITokenApi>(call, nullptr, [&](ITokenApi* t) { return query(t, &version); }));
    return version;
  });
}

// Creates the token object, then the hash object, on the apartment thread.
Outcome CreatePair(Hold* token, Hold* hash) {
  Outcome outcome;
  outcome.result = Apartment::Get().Run(
      [&]() -> HRESULT {
        void* object = nullptr;
        HRESULT hr = CreateComponentObject(kTokenClassId, kTokenInterfaceId, &object, outcome.reason);
        if (Failed(hr)) return hr;
        *token = std::make_shared<HeldObject>(static_cast<ITokenApi*>(object));
        hr = CreateComponentObject(kHashClassId, kHashInterfaceId, &object, outcome.reason);
        if (Failed(hr)) {
          token->reset();
          return hr;
        }
        *hash = std::make_shared<HeldObject>(static_cast<IHashApi*>(object));
        return hr;
      },
      outcome.reason);
  return outcome;
}

// The two holds, hash first, moved out so that releasing them releases the objects.
std::vector<Hold> Pair(Hold& hash, Hold& token) {
  std::vector<Hold> pair;
  pair.push_back(std::move(hash));
  pair.push_back(std::move(token));
  return pair;
}

}  // namespace

#define QTOK_CALL Native(env, self, __func__)

// ---- Frame: Init, Uninit, the two version queries, unloading ----

// Init and Uninit change the table and the Java object's two fields as one step
// under this lock, so that of two life-cycle calls racing on one object the second
// finds the fields and the table as the first left them: whichever wins, the fields
// name the pair the table holds for the object, and a last Uninit releases it.
// Creating a pair and releasing one run outside it, on the apartment thread.
namespace {
std::mutex& LifeCycleLock() {
  static std::mutex* lock = new std::mutex;  // never destroyed: calls may come at exit
  return *lock;
}
}  // namespace

// Init makes a new pair of objects for this Java object; the pair it held before
// is released once the new one is kept, and so are the objects of qTokAPI objects
// the JVM has collected without Uninit. A failed Init leaves everything as it was.
ZAV_NATIVE void Java_qtokcom_qTokAPI_Init(JNIEnv* env, jobject self) {
  const Native call = QTOK_CALL;
  Guarded(call, [&] {
    Hold token, hash;
    const Outcome created = CreatePair(&token, &hash);
    if (!created.ok()) return Raise(call, created);

    std::vector<Hold> released;
    {
      std::lock_guard<std::mutex> lifeCycle(LifeCycleLock());
      // Both holders are checked before either is written, so a failure leaves
      // the Java object as it was and the new objects are released.
      jbyteArray handle_holder, hash_holder;
      if (!FindHolder(env, self, "handle", &handle_holder) || !FindHolder(env, self, "hash", &hash_holder) ||
          handle_holder == nullptr || hash_holder == nullptr) {
        ReleaseOnApartment(Pair(hash, token));
        Text reason;
        return ThrowComFail(call, kInvalidArg,
                            reason.Append("handle and hash must be arrays of 8 bytes or more"));
      }
      if (!held_objects::Add(env, self, ObjectKind::kToken, token) ||
          !held_objects::Add(env, self, ObjectKind::kHash, hash)) {
        std::vector<Hold> added = held_objects::TakeThese(env, {token.get(), hash.get()});
        added.clear();  // the holds below are the last
        ReleaseOnApartment(Pair(hash, token));
        return;  // OutOfMemoryError pending
      }
      released = held_objects::TakeOwnedBy(env, self, {token.get(), hash.get()});
      StoreAddress(env, handle_holder, reinterpret_cast<std::uintptr_t>(token->get()));
      StoreAddress(env, hash_holder, reinterpret_cast<std::uintptr_t>(hash->get()));
    }
    ReleaseOnApartment(std::move(released));
  });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Uninit(JNIEnv* env, jobject self) {
  const Native call = QTOK_CALL;
  Guarded(call, [&] {
    std::vector<Hold> released;
    {
      std::lock_guard<std::mutex> lifeCycle(LifeCycleLock());
      std::uintptr_t token = 0;
      if (!LoadAddress(env, self, "handle", &token)) return;
      if (!held_objects::Find(env, self, ObjectKind::kToken, token)) {
        Text reason;
        return ThrowComFail(call, kNoObject, reason.Append(kObjectOf<ITokenApi>.missing));
      }
      released = held_objects::TakeOwnedBy(env, self, {});
      // Forget the released objects: later calls see an empty object.
      for (const char* name : {"handle", "hash"}) {
        jbyteArray holder;
        if (!FindHolder(env, self, name, &holder)) break;
        if (holder != nullptr) StoreAddress(env, holder, 0);
      }
    }
    // Calls still running keep what they use until they end.
    ReleaseOnApartment(std::move(released));
  });
}

// Where the JVM unloads this library (its class loader collected), what qTokAPI
// objects still hold is released and the apartment thread ends before the code
// it runs goes away.
extern "C" JNIEXPORT void JNICALL JNI_OnUnload(JavaVM* vm, void*) {
  JNIEnv* env = nullptr;
  if (vm->GetEnv(reinterpret_cast<void**>(&env), JNI_VERSION_1_6) == JNI_OK && env != nullptr) {
    ReleaseOnApartment(held_objects::TakeAll(env));
  }
  Apartment::Get().Stop();
}

ZAV_NATIVE jint Java_qtokcom_qTokAPI_GetLibVersion(JNIEnv* env, jobject self) {
  return QueryVersion(QTOK_CALL, [](ITokenApi* t, Ints v) { return t->GetLibVersion(v); });
}

ZAV_NATIVE jint Java_qtokcom_qTokAPI_GetDriverVersion(JNIEnv* env, jobject self) {
  return QueryVersion(QTOK_CALL, [](ITokenApi* t, Ints v) { return t->GetDriverVersion(v); });
}

// ---- Contexts, device and security ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_CreateContext(JNIEnv* env, jobject self, jint p1, jint p2) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::CreateContext, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_DeleteContext(JNIEnv* env, jobject self) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::DeleteContext);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_OpenDevice(JNIEnv* env, jobject self, jint p1, jbyteArray p2) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::OpenDevice, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_CloseDevice(JNIEnv* env, jobject self) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::CloseDevice);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Verify(JNIEnv* env, jobject self, jint p1, jbyteArray p2, jint p3) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::Verify, p1, Code{p2}, Length{p3});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_ChangeCode(JNIEnv* env, jobject self, jint p1, jbyteArray p2, jint p3,
                                                jbyteArray p4, jint p5) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::ChangeCode, p1, Code{p2}, Length{p3}, Code{p4}, Length{p5});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_ResetSecurityState(JNIEnv* env, jobject self, jint p1) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::ResetSecurityState, p1);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Cleanup(JNIEnv* env, jobject self, jint p1) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::Cleanup, p1);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetProperty(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                                 jbyteArray p3, jint p4) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::GetProperty, p1, p2, p3, Length{p4});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SetProperty(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                                 jbyteArray p3, jint p4) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::SetProperty, p1, p2, p3, Length{p4});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetSysInfo(JNIEnv* env, jobject self, jobject p1) {
  CallWithRecord<SysInfo>(QTOK_CALL, RecordWay::kFilled, p1, kSysInfoLayout, &ITokenApi::GetSysInfo);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetVersionInfo(JNIEnv* env, jobject self, jobject p1) {
  CallWithRecord<VersionInfo>(QTOK_CALL, RecordWay::kFilled, p1, kVersionInfoLayout,
                              &ITokenApi::GetVersionInfo);
}

// ---- File system ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_CreateDir(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                               jbyteArray p3, jobject p4) {
  CallWithRecord<DirInfo>(QTOK_CALL, RecordWay::kExchanged, p4, kDirInfoLayout, &ITokenApi::CreateDir, p1, p2,
                          p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_DeleteDir(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::DeleteDir, p1, p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_ChangeDir(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::ChangeDir, p1, p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetCurrentDir(JNIEnv* env, jobject self, jint p1, jintArray p2, jint p3,
                                                   jintArray p4) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::GetCurrentDir, p1, p2, Length{p3}, Count{p4});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Directory(JNIEnv* env, jobject self, jint p1, jint p2, jobject p3) {
  CallWithRecord<FileInfo>(QTOK_CALL, RecordWay::kFilled, p3, kFileInfoLayout, &ITokenApi::Directory, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_CreateFile(JNIEnv* env, jobject self, jint p1, jobject p2) {
  CallWithRecord<FileInfo>(QTOK_CALL, RecordWay::kHanded, p2, kFileInfoLayout, &ITokenApi::CreateFile, p1);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_DeleteFile(JNIEnv* env, jobject self, jint p1, jint p2) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::DeleteFile, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_OpenFile(JNIEnv* env, jobject self, jint p1, jint p2, jobject p3) {
  CallWithRecord<FileInfo>(QTOK_CALL, RecordWay::kFilled, p3, kFileInfoLayout, &ITokenApi::OpenFile, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_CloseFile(JNIEnv* env, jobject self) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::CloseFile);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Read(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3, jint p4,
                                          jintArray p5) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::Read, p1, p2, p3, Length{p4}, Count{p5});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Write(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                           jint p4, jintArray p5) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::Write, p1, p2, p3, Length{p4}, Count{p5});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Decrement(JNIEnv* env, jobject self, jint p1, jint p2) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::Decrement, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetFileInfo(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                                 jobject p4) {
  CallWithRecord<FileInfo>(QTOK_CALL, RecordWay::kFilled, p4, kFileInfoLayout, &ITokenApi::GetFileInfo, p1,
                           p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetAccessInfo(JNIEnv* env, jobject self, jint p1, jobject p2) {
  CallWithRecord<AccessInfo>(QTOK_CALL, RecordWay::kFilled, p2, kAccessInfoLayout, &ITokenApi::GetAccessInfo,
                             p1);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SetAccessInfo(JNIEnv* env, jobject self, jint p1, jobject p2) {
  CallWithRecord<AccessInfo>(QTOK_CALL, RecordWay::kHanded, p2, kAccessInfoLayout, &ITokenApi::SetAccessInfo,
                             p1);
}

// ---- Digests and challenges ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_HashToken(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                               jint p4, jbyteArray p5, jint p6, jintArray p7) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::HashToken, p1, p2, p3, Length{p4}, p5, Length{p6}, Count{p7});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_MD5HMAC(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                             jint p4, jbyteArray p5) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::MD5HMAC, p1, p2, p3, Length{p4}, Digest{p5});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_MD5CHAP(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                             jint p4, jbyteArray p5) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::MD5CHAP, p1, p2, p3, Length{p4}, Digest{p5});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GenRandom(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                               jbyteArray p3, jint p4) {
  Call<ITokenApi>(QTOK_CALL, &ITokenApi::GenRandom, p1, p2, p3, Length{p4});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5Hash(JNIEnv* env, jobject self, jbyteArray p1, jint p2,
                                              jbyteArray p3) {
  Call<IHashApi>(QTOK_CALL, &IHashApi::SMD5Hash, p1, Length{p2}, Digest{p3});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5HMAC(JNIEnv* env, jobject self, jbyteArray p1, jint p2,
                                              jbyteArray p3, jint p4, jbyteArray p5, jbyteArray p6,
                                              jbyteArray p7) {
  Call<IHashApi>(QTOK_CALL, &IHashApi::SMD5HMAC, p1, Length{p2}, p3, Length{p4}, p5, p6, Digest{p7});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5CHAP(JNIEnv* env, jobject self, jint p1, jbyteArray p2, jint p3,
                                              jbyteArray p4, jint p5, jbyteArray p6) {
  Call<IHashApi>(QTOK_CALL, &IHashApi::SMD5CHAP, p1, p2, Length{p3}, p4, Length{p5}, Digest{p6});
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5XOR(JNIEnv* env, jobject self, jbyteArray p1, jint p2, jbyteArray p3,
                                             jint p4, jbyteArray p5) {
  Call<IHashApi>(QTOK_CALL, &IHashApi::SMD5XOR, p1, Length{p2}, p3, Length{p4}, LongerInput{p5});
}
