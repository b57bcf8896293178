// QTOKJNI.dll as a Windows JVM uses it: loaded by LoadLibrary, each entry point found
// by the name a JVM of this bitness looks up and called through a pointer of its JNI
// signature, with the strict JNI environment in place of a JVM. The component is the
// scripted one, registered in the prefix as an in-process COM server, so the binding
// reaches it through CoCreateInstance and the registry as it would the vendor's.
//
//   binding_test <QTOKJNI.dll> registered|unregistered
//
// The program links the component's DLL for its controls; the script registers that
// very file, so COM's load of it is the same module. Besides the calls themselves it
// checks the binding's apartment: the objects live on a thread of the library's, so
// the calling threads' own apartments (none, the multithreaded one) stay as they
// were, and calls from any thread reach the objects there.
#include <windows.h>

#include <objbase.h>

#include <jni.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/windows/checks.h"
#include "token/tests/component/scripted_component.h"
#include "tests/fixtures/strict_jni/strict_jni.h"

namespace {

using strict_jni::J;
using strict_jni::New;
using strict_jni::NewBytes;
using strict_jni::NewInts;
using strict_jni::Obj;

constexpr int kToken = 0, kHash = 1;

strict_jni::Shape MakeShape() {
  strict_jni::Shape shape = {
      {"qtokcom/ComFailException", "java/lang/Throwable", "java/lang/IncompatibleClassChangeError"},
      {},
      {{"qtokcom/qTokAPI", "handle", "[B"},
       {"qtokcom/qTokAPI", "hash", "[B"},
       {"qtokcom/VersionInfo", "lDriverVersion", "I"}},
      {{"qtokcom/ComFailException", "java/lang/Exception"}, {"java/lang/Exception", "java/lang/Throwable"}},
  };
  for (const char* name : {"chFwVersionMajor", "chFwVersionMinor", "chProductCode", "chConfiguration"})
    shape.fields.push_back({"qtokcom/VersionInfo", name, "B"});
  for (const char* name :
       {"chMaxPinRetries", "chCurPinCounter", "chFlags", "chReserved2", "chCreateAccess", "chDeleteAccess",
        "chReserved3", "chReserved4", "chReserved5", "chReserved6", "chReserved7", "chReserved8",
        "chReserved9", "chReserved10", "chReserved11", "chReserved12"})
    shape.fields.push_back({"qtokcom/AccessInfo", name, "B"});
  return shape;
}

HMODULE g_lib = nullptr;
JNIEnv* g_env = nullptr;

// The name a JVM of this bitness looks a native method up by: on 32-bit Windows
// the stdcall-decorated _Java_..._<m>@<argument bytes> (JNIEnv*, the object and
// one 4-byte slot per parameter), on 64-bit the plain name.
template <typename F>
F Entry(const char* method, int parameters) {
  std::string name = std::string("Java_qtokcom_qTokAPI_") + method;
  if (sizeof(void*) == 4) name = "_" + name + "@" + std::to_string(8 + 4 * parameters);
  auto f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(g_lib, name.c_str())));
  if (f == nullptr) std::printf("FAIL: no export %s\n", name.c_str());
  return f;
}

using Plain = void(JNICALL*)(JNIEnv*, jobject);
using WithRecord = void(JNICALL*)(JNIEnv*, jobject, jobject);
using WithIntRecord = void(JNICALL*)(JNIEnv*, jobject, jint, jobject);
using ReadWrite = void(JNICALL*)(JNIEnv*, jobject, jint, jint, jbyteArray, jint, jintArray);
using Hash = void(JNICALL*)(JNIEnv*, jobject, jbyteArray, jint, jbyteArray);
using Version = jint(JNICALL*)(JNIEnv*, jobject);
using TwoInts = void(JNICALL*)(JNIEnv*, jobject, jint, jint);

Obj* NewApi() {
  Obj* api = New("qtokcom/qTokAPI");
  api->Ref("handle") = NewBytes(std::vector<jbyte>(8));
  api->Ref("hash") = NewBytes(std::vector<jbyte>(8));
  return api;
}

std::uintptr_t Held(Obj* api, const char* field) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(api->Ref(field)->bytes[i]);
  return static_cast<std::uintptr_t>(value);
}

// The component's last logged call is `expected` (the references the binding
// takes to ask for error information after a failure left aside).
bool LastCallIs(const char* expected) {
  char line[512] = "(none)";
  for (int i = ScriptedLogSize() - 1; i >= 0; --i) {
    ScriptedLogLine(i, line, sizeof line);
    if (std::strstr(line, ".AddRef") == nullptr && std::strstr(line, ".Release") == nullptr) break;
  }
  if (std::strcmp(line, expected) == 0) return true;
  std::printf("  last call: %s\n", line);
  return false;
}

// The pending exception is ComFailException whose message begins with `head`.
bool Raised(const char* head) {
  std::string pending = strict_jni::TakePending();
  const std::string expected = std::string("qtokcom/ComFailException: ") + head;
  if (pending.compare(0, expected.size(), expected) == 0) return true;
  std::printf("  pending: \"%s\"\n", pending.c_str());
  return false;
}

// The calling thread is in no apartment: entering one gives S_OK (and is undone).
bool InNoApartment() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == S_OK;
}

// Runs `body` on a new thread and waits for it.
template <typename Body>
void OnOtherThread(Body&& body) {
  std::thread(body).join();
}

const std::uint8_t kVersion[8] = {0x78, 0x56, 0x34, 0x12, 2, 7, 0x51, 0xFE};

void TestUnregistered() {
  win_checks::group = "Init without the component registered";
  Obj* api = NewApi();
  auto init = Entry<Plain>("Init", 0);
  if (init == nullptr) return;
  init(g_env, J(api));
  CHECK(
      Raised("ER: 0x80040154 Init: REGDB_E_CLASSNOTREG: creating {47B3B650-CAE5-11D3-8D09-00A0C99FF62A}: "
             "the class is not registered"));
  CHECK(Held(api, "handle") == 0 && Held(api, "hash") == 0);
  // The failure left no apartment behind on this thread.
  CHECK(InNoApartment());
}

void TestRegistered() {
  JNIEnv* env = g_env;
  Obj* api = NewApi();

  win_checks::group = "a method before Init";
  auto closeDevice = Entry<Plain>("CloseDevice", 0);
  auto init = Entry<Plain>("Init", 0);
  auto uninit = Entry<Plain>("Uninit", 0);
  auto getVersionInfo = Entry<WithRecord>("GetVersionInfo", 1);
  auto setAccessInfo = Entry<WithIntRecord>("SetAccessInfo", 2);
  auto read = Entry<ReadWrite>("Read", 5);
  auto smd5Hash = Entry<Hash>("SMD5Hash", 3);
  auto getLibVersion = Entry<Version>("GetLibVersion", 0);
  auto createContext = Entry<TwoInts>("CreateContext", 2);
  if (!closeDevice || !init || !uninit || !getVersionInfo || !setAccessInfo || !read || !smd5Hash ||
      !getLibVersion || !createContext) {
    CHECK(false);
    return;
  }
  closeDevice(env, J(api));
  CHECK(Raised("ER: 0x80105001"));
  CHECK(ScriptedLogSize() == 0);

  win_checks::group = "Init, on the library's thread";
  init(env, J(api));
  CHECK(strict_jni::TakePending().empty());
  CHECK(ScriptedLiveObjects(kToken) == 1 && ScriptedLiveObjects(kHash) == 1);
  CHECK(Held(api, "handle") == ScriptedLastObject(kToken) && Held(api, "handle") != 0);
  CHECK(Held(api, "hash") == ScriptedLastObject(kHash) && Held(api, "hash") != 0);
  const std::uint64_t apartment = ScriptedLastThread();
  CHECK(apartment != ScriptedThisThread());
  CHECK(InNoApartment());

  win_checks::group = "calls from a thread that never entered COM";
  OnOtherThread([&] {
    CHECK(InNoApartment());
    closeDevice(env, J(api));
    CHECK(strict_jni::TakePending().empty());
    CHECK(InNoApartment());
  });
  CHECK(ScriptedLastThread() == apartment);

  win_checks::group = "Init on a thread in the multithreaded apartment";
  OnOtherThread([&] {
    CHECK(CoInitializeEx(nullptr, COINIT_MULTITHREADED) == S_OK);
    Obj* second = NewApi();
    init(env, J(second));
    CHECK(strict_jni::TakePending().empty());
    CHECK(ScriptedLastThread() == apartment);
    // A second Init releases the first pair.
    init(env, J(second));
    CHECK(strict_jni::TakePending().empty());
    CHECK(ScriptedLiveObjects(kToken) == 2 && ScriptedLiveObjects(kHash) == 2);
    uninit(env, J(second));
    CHECK(strict_jni::TakePending().empty());
    CHECK(ScriptedLiveObjects(kToken) == 1 && ScriptedLiveObjects(kHash) == 1);
    // The thread is still in the multithreaded apartment, entered once.
    CHECK(CoInitializeEx(nullptr, COINIT_MULTITHREADED) == S_FALSE);
    CoUninitialize();
    CoUninitialize();
  });

  win_checks::group = "integers in order, S_FALSE is success";
  ScriptedReset();
  ScriptedRespond(kToken, 9, S_FALSE);
  createContext(env, J(api), 11, -12);
  CHECK(strict_jni::TakePending().empty());
  CHECK(LastCallIs("token.9(11, -12)"));
  const std::int32_t lib = 0x01020304;
  ScriptedWrite(kToken, 7, 0, reinterpret_cast<const std::uint8_t*>(&lib), 4);
  CHECK(getLibVersion(env, J(api)) == lib);

  win_checks::group = "a record out";
  ScriptedWrite(kToken, 23, 0, kVersion, sizeof kVersion);
  Obj* version = New("qtokcom/VersionInfo");
  getVersionInfo(env, J(api), J(version));
  CHECK(strict_jni::TakePending().empty());
  CHECK(version->Int("lDriverVersion") == 0x12345678 && version->Byte("chFwVersionMajor") == 2 &&
        version->Byte("chFwVersionMinor") == 7 && version->Byte("chProductCode") == 0x51 &&
        version->Byte("chConfiguration") == static_cast<jbyte>(0xFE));

  win_checks::group = "a record in";
  Obj* access = New("qtokcom/AccessInfo");
  access->Byte("chMaxPinRetries") = 5;
  access->Byte("chReserved2") = 9;
  access->Byte("chReserved12") = -1;
  setAccessInfo(env, J(api), 3, J(access));
  CHECK(strict_jni::TakePending().empty());
  CHECK(LastCallIs("token.22(3, *[05 00 00 09 00 00 00 00 00 00 00 00 00 00 00 ff])"));

  win_checks::group = "arrays copied back, also after a failure";
  const std::uint8_t data[4] = {0xDE, 0xAD, 0xBE, 0xEF};
  const std::int32_t got = 4;
  ScriptedWrite(kToken, 37, 2, data, 4);
  ScriptedWrite(kToken, 37, 4, reinterpret_cast<const std::uint8_t*>(&got), 4);
  ScriptedRespond(kToken, 37, static_cast<std::int32_t>(0x8010000Fu));
  ScriptedCapture(kToken, 37, 2, 4);
  Obj* buffer = NewBytes({1, 2, 3, 4, 5});
  Obj* length = NewInts({0});
  read(env, J(api), 1, 2, static_cast<jbyteArray>(J(buffer)), 5, static_cast<jintArray>(J(length)));
  CHECK(Raised("ER: 0x8010000f Read"));
  CHECK(LastCallIs("token.37(1, 2, *[01 02 03 04], 5, *)"));
  CHECK(static_cast<std::uint8_t>(buffer->bytes[0]) == 0xDE &&
        static_cast<std::uint8_t>(buffer->bytes[3]) == 0xEF && buffer->bytes[4] == 5);
  CHECK(length->ints[0] == 4);
  CHECK(strict_jni::OutstandingElements() == 0);

  win_checks::group = "a length beyond its array, and the component's own description";
  ScriptedReset();
  read(env, J(api), 1, 2, static_cast<jbyteArray>(J(buffer)), 6, static_cast<jintArray>(J(length)));
  CHECK(Raised("ER: 0x80070057 Read: E_INVALIDARG: p4 (6) is more than the 5 elements of p3"));
  CHECK(ScriptedLogSize() == 0);
  ScriptedRespond(kToken, 37, static_cast<std::int32_t>(0x80100069u));
  ScriptedErrorText(kToken, 37, "\xE5\x8D\xA1\xE7\x89\x87\xE5\xB7\xB2\xE9\x94\x81\xE5\xAE\x9A (card locked)");
  read(env, J(api), 1, 2, static_cast<jbyteArray>(J(buffer)), 5, static_cast<jintArray>(J(length)));
  CHECK(Raised(
      "ER: 0x80100069 Read: \xE5\x8D\xA1\xE7\x89\x87\xE5\xB7\xB2\xE9\x94\x81\xE5\xAE\x9A (card locked)"));

  win_checks::group = "a hash method";
  const std::uint8_t digest[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  ScriptedWrite(kHash, 7, 2, digest, 16);
  ScriptedCapture(kHash, 7, 0, 3);
  Obj* input = NewBytes({'a', 'b', 'c'});
  Obj* out = NewBytes(std::vector<jbyte>(16));
  smd5Hash(env, J(api), static_cast<jbyteArray>(J(input)), 3, static_cast<jbyteArray>(J(out)));
  CHECK(strict_jni::TakePending().empty());
  CHECK(LastCallIs("hash.7(*[61 62 63], 3, *)"));
  CHECK(std::memcmp(out->bytes.data(), digest, 16) == 0);

  win_checks::group = "Uninit";
  uninit(env, J(api));
  CHECK(strict_jni::TakePending().empty());
  CHECK(ScriptedLiveObjects(kToken) == 0 && ScriptedLiveObjects(kHash) == 0);
  CHECK(Held(api, "handle") == 0 && Held(api, "hash") == 0);
  CHECK(InNoApartment());
  closeDevice(env, J(api));
  CHECK(Raised("ER: 0x80105001 CloseDevice: no token object"));

  win_checks::group = "unloading releases what is still held and ends the library's thread";
  Obj* kept = NewApi();
  init(env, J(kept));
  CHECK(strict_jni::TakePending().empty());
  auto unload = reinterpret_cast<void(JNICALL*)(JavaVM*, void*)>(reinterpret_cast<void*>(
      GetProcAddress(g_lib, sizeof(void*) == 4 ? "_JNI_OnUnload@8" : "JNI_OnUnload")));
  CHECK(unload != nullptr);
  if (unload == nullptr) return;
  unload(strict_jni::Vm(), nullptr);
  CHECK(ScriptedLiveObjects(kToken) == 0 && ScriptedLiveObjects(kHash) == 0);
  CHECK(strict_jni::OutstandingWeakRefs() == 0);
  // With its thread gone the library can go: nothing runs its code any more.
  CHECK(FreeLibrary(g_lib));
  Sleep(100);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: binding_test <QTOKJNI.dll> registered|unregistered\n");
    return 2;
  }
  g_env = strict_jni::MakeEnv(MakeShape());
  g_lib = LoadLibraryA(argv[1]);
  if (g_lib == nullptr) {
    std::fprintf(stderr, "cannot load %s\n", argv[1]);
    return 2;
  }
  if (std::strcmp(argv[2], "unregistered") == 0) {
    TestUnregistered();
  } else {
    TestRegistered();
  }
  win_checks::group = "JNI use";
  CHECK(strict_jni::MisuseCount() == 0);
  return win_checks::Summary();
}
