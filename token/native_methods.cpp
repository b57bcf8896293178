// The native methods of qtokcom.qTokAPI. Each borrows its arrays in parameter
// order, fetches the object it uses, makes one call and turns a negative result
// into ComFailException; the arrays go back with mode 0 on every path. All 39
// are here, a few lines each, so that their one shape can be read at a glance.
#include <jni.h>

#include <cstdint>
#include <tuple>

#include "com_ref.h"
#include "token_frame.h"
#include "records.h"
#include "token_component.h"

using namespace qtok;

namespace {

constexpr jsize kDigestBytes = 16;

// True when a digest array, if given, can take the 16 bytes the component writes.
bool DigestFits(JNIEnv* env, jbyteArray digest) {
  return digest == nullptr || env->GetArrayLength(digest) >= kDigestBytes;
}

// After a successful HMAC: the digest into the Java array.
void CopyDigest(JNIEnv* env, jbyteArray digest, const Bytes elements) {
  if (digest == nullptr) return;
  env->SetByteArrayRegion(digest, 0, kDigestBytes, reinterpret_cast<const jbyte*>(elements));
}

// An argument as the component takes it: an array's elements, borrowed for the
// call and copied back after it; a number as it is.
Bytes Lend(ArrayLoans& loans, jbyteArray array) { return loans.Borrow(array); }
Ints Lend(ArrayLoans& loans, jintArray array) { return loans.Borrow(array); }
std::int32_t Lend(ArrayLoans&, jint value) { return value; }

// A method whose work is one call of `method` on the object of `Api` the Java
// object holds, with the method's arguments, its arrays borrowed in parameter order.
template <typename Api, typename Method, typename... Args>
void Call(JNIEnv* env, jobject self, Method method, Args... args) {
  Guarded(env, [&] {
    ArrayLoans loans(env);
    // A braced list lends left to right.
    std::tuple<decltype(Lend(loans, args))...> lent{Lend(loans, args)...};
    if (loans.failed()) return;
    Invoke<Api>(env, self,
                [&](Api* api) { return std::apply([&](auto... a) { return (api->*method)(a...); }, lent); });
  });
}

// A record exchanged with the component: filled by it (a zero-filled buffer, written
// back on success) or handed to it (read from the Java object before the call).
enum class RecordWay { kFilled, kHanded };
template <typename Record, typename Operation>
void WithRecord(RecordWay way, JNIEnv* env, jobject self, jobject record, const RecordLayout& layout,
                Operation&& operation) {
  Guarded(env, [&] {
    RecordBinding binding;
    if (!binding.Bind(env, record, layout)) return;
    Record buffer{};
    if (way == RecordWay::kHanded) binding.Read(env, &buffer);
    if (Invoke<ITokenApi>(env, self, [&](ITokenApi* t) { return operation(t, &buffer); }) &&
        way == RecordWay::kFilled) {
      binding.Write(env, &buffer);
    }
  });
}
template <typename Record, typename Operation>
void FillRecord(JNIEnv* env, jobject self, jobject record, const RecordLayout& layout,
                Operation&& operation) {
  WithRecord<Record>(RecordWay::kFilled, env, self, record, layout, operation);
}
template <typename Record, typename Operation>
void SendRecord(JNIEnv* env, jobject self, jobject record, const RecordLayout& layout,
                Operation&& operation) {
  WithRecord<Record>(RecordWay::kHanded, env, self, record, layout, operation);
}

// The two version queries: one integer filled by the component. When an exception
// is raised the value returned is discarded by the JVM.
template <typename Query>
jint QueryVersion(JNIEnv* env, jobject self, Query&& query) {
  return Guarded(env, [&]() -> jint {
    std::int32_t version = 0;
    Invoke<ITokenApi>(env, self, [&](ITokenApi* t) { return query(t, &version); });
    return version;
  });
}

}  // namespace

// ---- Frame: Init, Uninit and the two version queries ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_Init(JNIEnv* env, jobject self) {
  Guarded(env, [&] {
    HRESULT hr = qtok::CoInitialize(nullptr);
    if (Failed(hr)) return ThrowComFail(env, hr);
    zav::ComRef<ITokenApi> token;
    hr =
        qtok::CoCreateInstance(kTokenClassId, nullptr, kInprocServer, kTokenInterfaceId, token.receiveVoid());
    if (Failed(hr)) return ThrowComFail(env, hr);
    zav::ComRef<IHashApi> hash;
    hr = qtok::CoCreateInstance(kHashClassId, nullptr, kInprocServer, kHashInterfaceId, hash.receiveVoid());
    if (Failed(hr)) return ThrowComFail(env, hr);

    // Both holders are checked before either is written, so a failure leaves
    // the Java object as it was and the new objects are released.
    jbyteArray handle_holder, hash_holder;
    if (!FindHolder(env, self, "handle", &handle_holder)) return;
    if (!FindHolder(env, self, "hash", &hash_holder)) return;
    if (handle_holder == nullptr || hash_holder == nullptr) {
      return ThrowComFail(env, kInvalidArg);
    }
    if (!StorePointer(env, handle_holder, token.get())) return;
    if (!StorePointer(env, hash_holder, hash.get())) return;
    token.detach();
    hash.detach();
  });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Uninit(JNIEnv* env, jobject self) {
  Guarded(env, [&] {
    void* token = nullptr;
    void* hash = nullptr;
    if (!LoadObject(env, self, "handle", &token)) return;
    if (!LoadObject(env, self, "hash", &hash)) return;
    if (token == nullptr) return ThrowComFail(env, kNoObject);
    zav::ComRef<IHashApi>::Adopt(static_cast<IHashApi*>(hash)).reset();
    zav::ComRef<ITokenApi>::Adopt(static_cast<ITokenApi*>(token)).reset();
    // Forget the released objects: later calls see an empty object.
    jbyteArray holder;
    if (!FindHolder(env, self, "handle", &holder)) return;
    if (holder != nullptr && !StorePointer(env, holder, nullptr)) return;
    if (!FindHolder(env, self, "hash", &holder)) return;
    if (holder != nullptr && !StorePointer(env, holder, nullptr)) return;
    qtok::CoUninitialize();
  });
}

ZAV_NATIVE jint Java_qtokcom_qTokAPI_GetLibVersion(JNIEnv* env, jobject self) {
  return QueryVersion(env, self, [](ITokenApi* t, Ints v) { return t->GetLibVersion(v); });
}

ZAV_NATIVE jint Java_qtokcom_qTokAPI_GetDriverVersion(JNIEnv* env, jobject self) {
  return QueryVersion(env, self, [](ITokenApi* t, Ints v) { return t->GetDriverVersion(v); });
}

// ---- Contexts, device and security ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_CreateContext(JNIEnv* env, jobject self, jint p1, jint p2) {
  Call<ITokenApi>(env, self, &ITokenApi::CreateContext, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_DeleteContext(JNIEnv* env, jobject self) {
  Call<ITokenApi>(env, self, &ITokenApi::DeleteContext);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_OpenDevice(JNIEnv* env, jobject self, jint p1, jbyteArray p2) {
  Call<ITokenApi>(env, self, &ITokenApi::OpenDevice, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_CloseDevice(JNIEnv* env, jobject self) {
  Call<ITokenApi>(env, self, &ITokenApi::CloseDevice);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Verify(JNIEnv* env, jobject self, jint p1, jbyteArray p2, jint p3) {
  Call<ITokenApi>(env, self, &ITokenApi::Verify, p1, p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_ChangeCode(JNIEnv* env, jobject self, jint p1, jbyteArray p2, jint p3,
                                                jbyteArray p4, jint p5) {
  Call<ITokenApi>(env, self, &ITokenApi::ChangeCode, p1, p2, p3, p4, p5);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_ResetSecurityState(JNIEnv* env, jobject self, jint p1) {
  Call<ITokenApi>(env, self, &ITokenApi::ResetSecurityState, p1);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Cleanup(JNIEnv* env, jobject self, jint p1) {
  Call<ITokenApi>(env, self, &ITokenApi::Cleanup, p1);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetProperty(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                                 jbyteArray p3, jint p4) {
  Call<ITokenApi>(env, self, &ITokenApi::GetProperty, p1, p2, p3, p4);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SetProperty(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                                 jbyteArray p3, jint p4) {
  Call<ITokenApi>(env, self, &ITokenApi::SetProperty, p1, p2, p3, p4);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetSysInfo(JNIEnv* env, jobject self, jobject p1) {
  FillRecord<SysInfo>(env, self, p1, kSysInfoLayout,
                      [&](ITokenApi* t, SysInfo* r) { return t->GetSysInfo(r); });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetVersionInfo(JNIEnv* env, jobject self, jobject p1) {
  FillRecord<VersionInfo>(env, self, p1, kVersionInfoLayout,
                          [&](ITokenApi* t, VersionInfo* r) { return t->GetVersionInfo(r); });
}

// ---- File system ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_CreateDir(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                               jbyteArray p3, jobject p4) {
  Guarded(env, [&] {
    RecordBinding binding;
    if (!binding.Bind(env, p4, kDirInfoLayout)) return;
    ArrayLoans loans(env);
    Bytes a2 = loans.Borrow(p2);
    Bytes a3 = loans.Borrow(p3);
    if (loans.failed()) return;
    DirInfo buffer{};
    binding.Read(env, &buffer);
    if (Invoke<ITokenApi>(env, self, [&](ITokenApi* t) { return t->CreateDir(p1, a2, a3, &buffer); })) {
      binding.Write(env, &buffer);
    }
  });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_DeleteDir(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3) {
  Call<ITokenApi>(env, self, &ITokenApi::DeleteDir, p1, p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_ChangeDir(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3) {
  Call<ITokenApi>(env, self, &ITokenApi::ChangeDir, p1, p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetCurrentDir(JNIEnv* env, jobject self, jint p1, jintArray p2, jint p3,
                                                   jintArray p4) {
  Call<ITokenApi>(env, self, &ITokenApi::GetCurrentDir, p1, p2, p3, p4);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Directory(JNIEnv* env, jobject self, jint p1, jint p2, jobject p3) {
  FillRecord<FileInfo>(env, self, p3, kFileInfoLayout,
                       [&](ITokenApi* t, FileInfo* r) { return t->Directory(p1, p2, r); });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_CreateFile(JNIEnv* env, jobject self, jint p1, jobject p2) {
  SendRecord<FileInfo>(env, self, p2, kFileInfoLayout,
                       [&](ITokenApi* t, FileInfo* r) { return t->CreateFile(p1, r); });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_DeleteFile(JNIEnv* env, jobject self, jint p1, jint p2) {
  Call<ITokenApi>(env, self, &ITokenApi::DeleteFile, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_OpenFile(JNIEnv* env, jobject self, jint p1, jint p2, jobject p3) {
  FillRecord<FileInfo>(env, self, p3, kFileInfoLayout,
                       [&](ITokenApi* t, FileInfo* r) { return t->OpenFile(p1, p2, r); });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_CloseFile(JNIEnv* env, jobject self) {
  Call<ITokenApi>(env, self, &ITokenApi::CloseFile);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Read(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3, jint p4,
                                          jintArray p5) {
  Call<ITokenApi>(env, self, &ITokenApi::Read, p1, p2, p3, p4, p5);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Write(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                           jint p4, jintArray p5) {
  Call<ITokenApi>(env, self, &ITokenApi::Write, p1, p2, p3, p4, p5);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_Decrement(JNIEnv* env, jobject self, jint p1, jint p2) {
  Call<ITokenApi>(env, self, &ITokenApi::Decrement, p1, p2);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetFileInfo(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                                 jobject p4) {
  Guarded(env, [&] {
    RecordBinding binding;
    if (!binding.Bind(env, p4, kFileInfoLayout)) return;
    ArrayLoans loans(env);
    Bytes a3 = loans.Borrow(p3);
    if (loans.failed()) return;
    FileInfo buffer{};
    if (Invoke<ITokenApi>(env, self, [&](ITokenApi* t) { return t->GetFileInfo(p1, p2, a3, &buffer); })) {
      binding.Write(env, &buffer);
    }
  });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GetAccessInfo(JNIEnv* env, jobject self, jint p1, jobject p2) {
  FillRecord<AccessInfo>(env, self, p2, kAccessInfoLayout,
                         [&](ITokenApi* t, AccessInfo* r) { return t->GetAccessInfo(p1, r); });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SetAccessInfo(JNIEnv* env, jobject self, jint p1, jobject p2) {
  SendRecord<AccessInfo>(env, self, p2, kAccessInfoLayout,
                         [&](ITokenApi* t, AccessInfo* r) { return t->SetAccessInfo(p1, r); });
}

// ---- Digests and challenges ----

ZAV_NATIVE void Java_qtokcom_qTokAPI_HashToken(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                               jint p4, jbyteArray p5, jint p6, jintArray p7) {
  Call<ITokenApi>(env, self, &ITokenApi::HashToken, p1, p2, p3, p4, p5, p6, p7);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_MD5HMAC(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                             jint p4, jbyteArray p5) {
  Guarded(env, [&] {
    ArrayLoans loans(env);
    Bytes a3 = loans.Borrow(p3);
    Bytes a5 = loans.Borrow(p5);
    if (loans.failed()) return;
    const bool fits = DigestFits(env, p5);
    if (Invoke<ITokenApi>(
            env, self, [&](ITokenApi* t) { return fits ? t->MD5HMAC(p1, p2, a3, p4, a5) : kInvalidArg; })) {
      CopyDigest(env, p5, a5);
    }
  });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_MD5CHAP(JNIEnv* env, jobject self, jint p1, jint p2, jbyteArray p3,
                                             jint p4, jbyteArray p5) {
  Call<ITokenApi>(env, self, &ITokenApi::MD5CHAP, p1, p2, p3, p4, p5);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_GenRandom(JNIEnv* env, jobject self, jint p1, jbyteArray p2,
                                               jbyteArray p3, jint p4) {
  Call<ITokenApi>(env, self, &ITokenApi::GenRandom, p1, p2, p3, p4);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5Hash(JNIEnv* env, jobject self, jbyteArray p1, jint p2,
                                              jbyteArray p3) {
  Call<IHashApi>(env, self, &IHashApi::SMD5Hash, p1, p2, p3);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5HMAC(JNIEnv* env, jobject self, jbyteArray p1, jint p2,
                                              jbyteArray p3, jint p4, jbyteArray p5, jbyteArray p6,
                                              jbyteArray p7) {
  Guarded(env, [&] {
    ArrayLoans loans(env);
    Bytes a1 = loans.Borrow(p1);
    Bytes a3 = loans.Borrow(p3);
    Bytes a5 = loans.Borrow(p5);
    Bytes a6 = loans.Borrow(p6);
    Bytes a7 = loans.Borrow(p7);
    if (loans.failed()) return;
    const bool fits = DigestFits(env, p7);
    if (Invoke<IHashApi>(env, self, [&](IHashApi* h) {
          return fits ? h->SMD5HMAC(a1, p2, a3, p4, a5, a6, a7) : kInvalidArg;
        })) {
      CopyDigest(env, p7, a7);
    }
  });
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5CHAP(JNIEnv* env, jobject self, jint p1, jbyteArray p2, jint p3,
                                              jbyteArray p4, jint p5, jbyteArray p6) {
  Call<IHashApi>(env, self, &IHashApi::SMD5CHAP, p1, p2, p3, p4, p5, p6);
}

ZAV_NATIVE void Java_qtokcom_qTokAPI_SMD5XOR(JNIEnv* env, jobject self, jbyteArray p1, jint p2, jbyteArray p3,
                                             jint p4, jbyteArray p5) {
  Call<IHashApi>(env, self, &IHashApi::SMD5XOR, p1, p2, p3, p4, p5);
}
