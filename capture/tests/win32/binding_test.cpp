// Windows test of camgrip.dll through its ten exported entry points (one program
// with its JNI stand-in, hence long), found by
// the names a Windows JVM looks up, with a small JNI environment of our own in
// place of a Java runtime (there is no Windows JVM here) and a stand-in
// jawt.dll beside it. Drives listing, formats, start (with its reported failure
// sites), grab, paint, setBounds, stop and destroy against test_camera.dll.
//
//   binding_test <camgrip.dll> <test_camera.dll> <jawt.dll>
#include <windows.h>

#include <objbase.h>

#include <jawt.h>
#include <jni.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "capture/tests/win32/canvas_thread.h"
#include "tests/windows/checks.h"
#include "tests/fixtures/strict_jni/strict_jni.h"
#include "capture/tests/test_camera/test_camera.h"

namespace tc = zav_test_camera;

namespace {

// ------------------------------------------------------------------ the classes

using strict_jni::Entered;
using strict_jni::J;
using strict_jni::M;
using strict_jni::Member;
using strict_jni::Misuse;
using strict_jni::New;
using strict_jni::O;
using strict_jni::Obj;

// What the client's classes (and the JDK's) have: a look-up of anything else fails
// as in a JVM. A CaptureDevice is a java.awt.Canvas; a buffer is read-only when
// its "readOnly" is set; a canvas has no graphics configuration (scale 1).
const strict_jni::Shape kShape = {
    {"java/util/ArrayList", "lumotool/camgripper/CaptureDevice", "lumotool/camgripper/VideoFormat",
     "lumotool/camgripper/GUID", "java/awt/Canvas", "java/nio/Buffer", "java/nio/ByteBuffer",
     "java/awt/Component", "java/awt/GraphicsConfiguration", "java/awt/geom/AffineTransform"},
    {
        {"java/util/ArrayList", "<init>", "()V"},
        {"java/util/ArrayList", "add", "(Ljava/lang/Object;)Z"},
        {"lumotool/camgripper/CaptureDevice", "<init>",
         "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V"},
        {"lumotool/camgripper/VideoFormat", "<init>", "(IILlumotool/camgripper/GUID;)V"},
        {"lumotool/camgripper/VideoFormat", "getWidth", "()I"},
        {"lumotool/camgripper/VideoFormat", "getHeight", "()I"},
        {"lumotool/camgripper/VideoFormat", "getSubType", "()Llumotool/camgripper/GUID;"},
        {"lumotool/camgripper/GUID", "<init>", "(Ljava/nio/ByteBuffer;)V"},
        {"lumotool/camgripper/GUID", "getBuf", "()Ljava/nio/ByteBuffer;"},
        {"java/awt/Canvas", "setBounds", "(IIII)V"},
        {"java/nio/Buffer", "isReadOnly", "()Z"},
        {"java/nio/ByteBuffer", "allocateDirect", "(I)Ljava/nio/ByteBuffer;"},
        {"java/awt/Component", "getGraphicsConfiguration", "()Ljava/awt/GraphicsConfiguration;"},
        {"java/awt/GraphicsConfiguration", "getDefaultTransform", "()Ljava/awt/geom/AffineTransform;"},
        {"java/awt/geom/AffineTransform", "getScaleX", "()D"},
        {"java/awt/geom/AffineTransform", "getScaleY", "()D"},
    },
    {{"lumotool/camgripper/CaptureDevice", "pSrcFilter", "I"}},
    {{"lumotool/camgripper/CaptureDevice", "java/awt/Canvas"},
     {"java/awt/Canvas", "java/awt/Component"},
     {"java/nio/ByteBuffer", "java/nio/Buffer"}},
};

// ------------------------------------------------------------------ the calls only this test knows

jobject JNICALL NewObjectV(JNIEnv*, jclass cls, jmethodID id, va_list args) {
  Entered("NewObject");
  const Member* m = M(id);
  const std::string c = O(cls)->cls.substr(6);
  Obj* o = New(c);
  if (c == "java/util/ArrayList" && m->sig == "()V") {
  } else if (c == "lumotool/camgripper/CaptureDevice" &&
             m->sig == "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;I)V") {
    o->Ref("name") = O(va_arg(args, jobject));
    o->Ref("description") = O(va_arg(args, jobject));
    o->Ref("path") = O(va_arg(args, jobject));
    o->Int("pSrcFilter") = va_arg(args, jint);
  } else if (c == "lumotool/camgripper/VideoFormat" && m->sig == "(IILlumotool/camgripper/GUID;)V") {
    o->Int("width") = va_arg(args, jint);
    o->Int("height") = va_arg(args, jint);
    o->Ref("subtype") = O(va_arg(args, jobject));
  } else if (c == "lumotool/camgripper/GUID" && m->sig == "(Ljava/nio/ByteBuffer;)V") {
    o->Ref("buf") = O(va_arg(args, jobject));
  } else {
    Misuse("unexpected constructor", c + " " + m->sig);
    o = nullptr;
  }
  return J(o);
}

jboolean JNICALL CallBooleanMethodV(JNIEnv*, jobject self, jmethodID id, va_list args) {
  Entered("CallBooleanMethod");
  const Member* m = M(id);
  jboolean result = JNI_FALSE;
  if (m->cls == "java/util/ArrayList" && m->name == "add" && m->sig == "(Ljava/lang/Object;)Z") {
    O(self)->items.push_back(O(va_arg(args, jobject)));
    result = JNI_TRUE;
  } else if (m->cls == "java/nio/Buffer" && m->name == "isReadOnly") {
    result = O(self)->Int("readOnly") != 0 ? JNI_TRUE : JNI_FALSE;
  } else {
    Misuse("unexpected boolean method", m->cls + "." + m->name);
  }
  return result;
}

jint JNICALL CallIntMethodV(JNIEnv*, jobject self, jmethodID id, va_list) {
  Entered("CallIntMethod");
  const Member* m = M(id);
  if (m->cls == "lumotool/camgripper/VideoFormat" && m->sig == "()I") {
    if (m->name == "getWidth") return O(self)->Int("width");
    if (m->name == "getHeight") return O(self)->Int("height");
  }
  Misuse("unexpected int method", m->cls + "." + m->name + m->sig);
  return 0;
}

jobject JNICALL CallObjectMethodV(JNIEnv*, jobject self, jmethodID id, va_list) {
  Entered("CallObjectMethod");
  const Member* m = M(id);
  if (m->name == "getSubType" && m->sig == "()Llumotool/camgripper/GUID;") return J(O(self)->Ref("subtype"));
  if (m->name == "getBuf" && m->sig == "()Ljava/nio/ByteBuffer;") return J(O(self)->Ref("buf"));
  if (m->name == "getGraphicsConfiguration") return nullptr;
  Misuse("unexpected object method", m->cls + "." + m->name);
  return nullptr;
}

// ByteBuffer.allocateDirect: a direct buffer over zeroed memory the test owns.
jobject JNICALL CallStaticObjectMethodV(JNIEnv*, jclass, jmethodID id, va_list args) {
  Entered("CallStaticObjectMethod");
  const Member* m = M(id);
  if (m->cls != "java/nio/ByteBuffer" || m->name != "allocateDirect") {
    Misuse("unexpected static method", m->cls + "." + m->name);
    return nullptr;
  }
  const jint capacity = va_arg(args, jint);
  Obj* b = New("java/nio/ByteBuffer");
  b->address = new std::uint8_t[static_cast<std::size_t>(capacity) + 1]();
  b->capacity = capacity;
  return J(b);
}

// The last java.awt.Canvas.setBounds is kept as bounds0-3, with their count.
void JNICALL CallNonvirtualVoidMethodV(JNIEnv*, jobject self, jclass cls, jmethodID id, va_list args) {
  Entered("CallNonvirtualVoidMethod");
  const Member* m = M(id);
  if (O(cls)->cls != "class:java/awt/Canvas" || m->name != "setBounds" || m->sig != "(IIII)V") {
    Misuse("unexpected non-virtual call", m->cls + "." + m->name);
    return;
  }
  for (const char* b : {"bounds0", "bounds1", "bounds2", "bounds3"}) O(self)->Int(b) = va_arg(args, jint);
  ++O(self)->Int("setBoundsCalls");
}

JNIEnv* g_env = nullptr;

void MakeEnv() {
  g_env = strict_jni::MakeEnv(kShape);
  JNINativeInterface_& f = strict_jni::Functions();
  // The C++ JNIEnv methods with "..." forward to these va_list forms.
  f.NewObjectV = NewObjectV;
  f.CallBooleanMethodV = CallBooleanMethodV;
  f.CallIntMethodV = CallIntMethodV;
  f.CallObjectMethodV = CallObjectMethodV;
  f.CallStaticObjectMethodV = CallStaticObjectMethodV;
  f.CallNonvirtualVoidMethodV = CallNonvirtualVoidMethodV;
}

// ------------------------------------------------------------------ the binding

struct Binding {
  jobject(JNICALL* enumDevices)(JNIEnv*, jobject);
  jboolean(JNICALL* start)(JNIEnv*, jobject, jobject, jboolean);
  jboolean(JNICALL* stop)(JNIEnv*, jobject);
  jboolean(JNICALL* isRunning)(JNIEnv*, jobject);
  jboolean(JNICALL* destroy)(JNIEnv*, jobject);
  void(JNICALL* setBounds)(JNIEnv*, jobject, jint, jint, jint, jint);
  void(JNICALL* paint)(JNIEnv*, jobject, jobject);
  jobject(JNICALL* getFormat)(JNIEnv*, jobject);
  jobject(JNICALL* queryFormats)(JNIEnv*, jobject);
  jobject(JNICALL* grab)(JNIEnv*, jobject, jobject);
} g_lib;

template <typename F>
bool Lookup(HMODULE module, const char* method, F* out) {
  // The plain JNI name, as a 32-bit JVM tries it after the decorated one.
  const std::string name = std::string("Java_lumotool_camgripper_CaptureDevice_") + method;
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name.c_str())));
  return *out != nullptr;
}

// ------------------------------------------------------------------ message boxes

struct Box {
  std::string caption, text;
  HWND owner;
};
std::mutex g_boxLock;
std::vector<Box> g_boxes;
std::atomic<bool> g_watching{true};

// Answers every error report the binding shows, keeping what it said.
BOOL CALLBACK AnswerReport(HWND w, LPARAM) {
  // Only dialogs: reading another window's title would send it a message, and
  // the canvas's thread is not always answering.
  char className[16] = {};
  GetClassNameA(w, className, sizeof className);
  if (std::strcmp(className, "#32770") != 0) return TRUE;
  char caption[64] = {};
  GetWindowTextA(w, caption, sizeof caption);
  if (std::strncmp(caption, "DirectShow Error(line:", 22) == 0 && IsWindowVisible(w)) {
    char text[256] = {};
    GetDlgItemTextA(w, 0xFFFF, text, sizeof text);
    {
      std::lock_guard<std::mutex> lock(g_boxLock);
      g_boxes.push_back(Box{caption, text, GetWindow(w, GW_OWNER)});
    }
    SendMessageA(w, WM_COMMAND, IDOK, 0);
  }
  return TRUE;
}

void WatchBoxes() {
  while (g_watching) {
    EnumWindows(AnswerReport, 0);
    Sleep(20);
  }
}

std::vector<Box> TakeBoxes() {
  std::lock_guard<std::mutex> lock(g_boxLock);
  std::vector<Box> boxes;
  boxes.swap(g_boxes);
  return boxes;
}

// ------------------------------------------------------------------ helpers

tc::StatsFunction g_stats = nullptr;
LONG LiveCameraFilters() {
  LONG live = -1;
  g_stats(&live, nullptr);
  return live;
}
void (*g_setWindow)(HWND, jint) = nullptr;
LONG (*g_surfacesOut)() = nullptr;

std::u16string U16(const wchar_t* text) { return std::u16string(reinterpret_cast<const char16_t*>(text)); }

Obj* FindDevice(Obj* list, const wchar_t* name) {
  for (Obj* d : list->items)
    if (d->Ref("name") != nullptr && d->Ref("name")->text == U16(name)) return d;
  return nullptr;
}

const GUID kRGB24 = {0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
const GUID kRGB32 = {0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

Obj* MakeFormat(jint width, jint height, const GUID* subtype) {
  Obj* f = New("lumotool/camgripper/VideoFormat");
  f->Int("width") = width;
  f->Int("height") = height;
  if (subtype != nullptr) {
    Obj* g = New("lumotool/camgripper/GUID");
    auto* block = new std::uint8_t[16];
    std::memcpy(block, subtype, 16);
    g->Ref("buf") = O(g_env->NewDirectByteBuffer(block, 16));
    f->Ref("subtype") = g;
  }
  return f;
}

bool IsSubtype(Obj* guid, const GUID& expected) {
  return guid != nullptr && guid->Ref("buf") != nullptr && guid->Ref("buf")->capacity == 16 &&
         std::memcmp(guid->Ref("buf")->address, &expected, 16) == 0;
}

bool IsPattern(const void* data, std::int32_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  for (std::int32_t i = 0; i < size; ++i)
    if (p[i] != tc::PatternByte(i)) return false;
  return true;
}

// ------------------------------------------------------------------ tests

void TestBinding(HWND canvas) {
  JNIEnv* env = g_env;
  Obj* cls = New("class:lumotool/camgripper/CaptureDevice");

  win_checks::group = "listing";
  const LONG liveBefore = LiveCameraFilters();
  Obj* first = O(g_lib.enumDevices(env, J(cls)));
  Obj* second = O(g_lib.enumDevices(env, J(cls)));
  CHECK(first != nullptr && first->cls == "java/util/ArrayList");
  CHECK(second != nullptr);
  if (first == nullptr || second == nullptr) return;
  Obj* cam = FindDevice(first, tc::kCameraName);
  Obj* camV2 = FindDevice(first, tc::kCameraV2Name);
  Obj* camAgain = FindDevice(second, tc::kCameraName);
  CHECK(cam != nullptr && camV2 != nullptr && camAgain != nullptr);
  if (cam == nullptr || camV2 == nullptr || camAgain == nullptr) return;
  CHECK(cam->Ref("description") != nullptr && cam->Ref("description")->text == U16(tc::kCameraDescription));
  CHECK(cam->Ref("path") != nullptr && cam->Ref("path")->text == U16(tc::kCameraPath));
  CHECK(camV2->Ref("description") == nullptr);
  CHECK(cam->Int("pSrcFilter") != 0 && camAgain->Int("pSrcFilter") != 0 &&
        cam->Int("pSrcFilter") != camAgain->Int("pSrcFilter"));
  CHECK(LiveCameraFilters() == liveBefore + static_cast<LONG>(first->items.size() + second->items.size()));

  win_checks::group = "canvas not displayable";
  g_setWindow(nullptr, 0);
  CHECK(!g_lib.isRunning(env, J(cam)));
  CHECK(g_lib.queryFormats(env, J(cam)) == nullptr);
  g_lib.setBounds(env, J(cam), 1, 2, 30, 40);
  CHECK(cam->Int("setBoundsCalls") == 1 && cam->Int("bounds0") == 1 && cam->Int("bounds1") == 2 &&
        cam->Int("bounds2") == 30 && cam->Int("bounds3") == 40);
  // A camera started before its canvas is shown runs, its renderer without a
  // window until the canvas's paint gives it one.
  CHECK(g_lib.start(env, J(camAgain), J(MakeFormat(40, 30, &kRGB32)), JNI_FALSE));
  CHECK(g_lib.isRunning(env, J(camAgain)) && g_lib.grab(env, J(camAgain), nullptr) != nullptr);
  g_setWindow(canvas, 0);
  g_lib.paint(env, J(camAgain), nullptr);
  CHECK(g_lib.isRunning(env, J(camAgain)) && g_lib.grab(env, J(camAgain), nullptr) != nullptr);
  CHECK(g_lib.stop(env, J(camAgain)));
  CHECK(TakeBoxes().empty());
  g_setWindow(canvas, JAWT_LOCK_ERROR);
  CHECK(g_lib.queryFormats(env, J(cam)) == nullptr);
  g_setWindow(canvas, 0);
  CHECK(g_surfacesOut() == 0);

  win_checks::group = "queryFormats";
  Obj* formats = O(g_lib.queryFormats(env, J(cam)));
  CHECK(formats != nullptr);
  if (formats != nullptr) {
    std::vector<const tc::Capability*> expected;
    for (const tc::Capability& c : tc::kCameraCaps)
      if (c.block == tc::Block::kVideoInfo) expected.push_back(&c);
    CHECK(formats->items.size() == expected.size());
    for (std::size_t i = 0; i < formats->items.size() && i < expected.size(); ++i) {
      Obj* f = formats->items[i];
      CHECK(f->Int("width") == expected[i]->width && f->Int("height") == expected[i]->height);
      CHECK(f->Ref("subtype") != nullptr && f->Ref("subtype")->Ref("buf") != nullptr &&
            f->Ref("subtype")->Ref("buf")->capacity == 16);
    }
    if (formats->items.size() >= 2) {
      CHECK(IsSubtype(formats->items[0]->Ref("subtype"), kRGB24));
      // Separate 16-byte blocks even for equal subtypes.
      CHECK(formats->items[0]->Ref("subtype")->Ref("buf")->address !=
            formats->items[1]->Ref("subtype")->Ref("buf")->address);
    }
  }
  CHECK(!g_lib.isRunning(env, J(cam)));
  Obj* none = O(g_lib.queryFormats(env, J(camV2)));
  CHECK(none != nullptr && none->items.empty());
  CHECK(TakeBoxes().empty());

  win_checks::group = "start refused by the renderer";
  // The camera's first format (RGB24): where the renderer cannot take it (Wine's
  // VMR-7) start reports the failing site and leaves the device idle.
  Obj* rgb24 = MakeFormat(200, 48, &kRGB24);
  const bool rgb24Runs = g_lib.start(env, J(cam), J(rgb24), JNI_TRUE) == JNI_TRUE;
  std::vector<Box> boxes = TakeBoxes();
  if (rgb24Runs) {
    CHECK(boxes.empty());
    CHECK(g_lib.stop(env, J(cam)));
  } else {
    CHECK(boxes.size() == 1);
    if (!boxes.empty()) {
      std::printf("  [%s] reported: %s \"%s\"\n", win_checks::group, boxes[0].caption.c_str(),
                  boxes[0].text.c_str());
      CHECK(boxes[0].caption == "DirectShow Error(line:556)" ||
            boxes[0].caption == "DirectShow Error(line:384)");
      CHECK(boxes[0].owner == canvas);
    }
    CHECK(!g_lib.isRunning(env, J(cam)));
    CHECK(g_lib.getFormat(env, J(cam)) == nullptr);
  }

  win_checks::group = "start without a match";
  CHECK(!g_lib.start(env, J(cam), J(MakeFormat(999, 0, nullptr)), JNI_TRUE));
  CHECK(TakeBoxes().empty());
  CHECK(!g_lib.isRunning(env, J(cam)));

  win_checks::group = "start running";
  Obj* rgb32 = MakeFormat(40, 30, &kRGB32);
  CHECK(g_lib.start(env, J(cam), J(rgb32), JNI_TRUE));
  boxes = TakeBoxes();
  CHECK(boxes.empty());
  for (const Box& b : boxes)
    std::printf("  [%s] reported: %s \"%s\"\n", win_checks::group, b.caption.c_str(), b.text.c_str());
  CHECK(g_lib.isRunning(env, J(cam)));
  // Running already with what is asked: true, and the format stays.
  CHECK(g_lib.start(env, J(cam), J(rgb32), JNI_TRUE));
  Obj* format = O(g_lib.getFormat(env, J(cam)));
  CHECK(format != nullptr && format->Int("width") == 40 && format->Int("height") == 30 &&
        IsSubtype(format->Ref("subtype"), kRGB32));
  // queryFormats on the running device keeps it running.
  Obj* again = O(g_lib.queryFormats(env, J(cam)));
  CHECK(again != nullptr && again->items.size() == 5);
  CHECK(g_lib.isRunning(env, J(cam)));

  win_checks::group = "grab";
  const std::int32_t image = 40 * 30 * 4;
  Obj* grabbed = O(g_lib.grab(env, J(cam), nullptr));
  CHECK(grabbed != nullptr && grabbed->address != nullptr && grabbed->capacity >= image);
  if (grabbed != nullptr && grabbed->address != nullptr) {
    CHECK(IsPattern(grabbed->address, image));  // unmirrored though the device mirrors
    std::memset(grabbed->address, 0, static_cast<std::size_t>(grabbed->capacity));
    Obj* same = O(g_lib.grab(env, J(cam), J(grabbed)));
    CHECK(same == grabbed);
    CHECK(IsPattern(grabbed->address, image));
  }
  Obj* heapBuffer = New("java/nio/ByteBuffer");  // not direct
  Obj* fresh = O(g_lib.grab(env, J(cam), J(heapBuffer)));
  CHECK(fresh != nullptr && fresh != heapBuffer && fresh->address != nullptr);

  win_checks::group = "paint and setBounds";
  g_lib.paint(env, J(cam), nullptr);
  g_lib.setBounds(env, J(cam), 5, 6, 320, 240);
  CHECK(cam->Int("setBoundsCalls") == 2 && cam->Int("bounds2") == 320 && cam->Int("bounds3") == 240);
  CHECK(g_lib.isRunning(env, J(cam)));

  win_checks::group = "stop";
  CHECK(g_lib.stop(env, J(cam)));
  CHECK(!g_lib.isRunning(env, J(cam)));
  CHECK(g_lib.grab(env, J(cam), nullptr) == nullptr);
  CHECK(g_lib.getFormat(env, J(cam)) == nullptr);
  CHECK(g_lib.stop(env, J(cam)));
  // Started again after a stop, without mirroring.
  CHECK(g_lib.start(env, J(cam), nullptr, JNI_FALSE));
  CHECK(g_lib.isRunning(env, J(cam)));
  CHECK(TakeBoxes().empty());

  win_checks::group = "destroy";
  CHECK(g_lib.destroy(env, J(cam)));
  CHECK(cam->Int("pSrcFilter") == 0);
  CHECK(!g_lib.destroy(env, J(cam)));
  CHECK(!g_lib.isRunning(env, J(cam)));
  CHECK(g_lib.start(env, J(cam), nullptr, JNI_FALSE) == JNI_FALSE);
  CHECK(g_lib.queryFormats(env, J(cam)) == nullptr);
  for (Obj* list : {first, second})
    for (Obj* d : list->items)
      if (d->Int("pSrcFilter") != 0) {
        if (std::getenv("ZAV_TEST_VERBOSE") != nullptr)
          std::printf("  destroying %d\n", static_cast<int>(d->Int("pSrcFilter")));
        std::fflush(stdout);
        CHECK(g_lib.destroy(env, J(d)));
      }
  // Every filter reference the listings handed out is gone.
  CHECK(LiveCameraFilters() == liveBefore);
  CHECK(g_surfacesOut() == 0);
  CHECK(TakeBoxes().empty());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: binding_test <camgrip.dll> <test_camera.dll> <jawt.dll>\n");
    return 2;
  }
  MakeEnv();
  HMODULE camera = LoadLibraryA(argv[2]);
  HMODULE jawt = LoadLibraryA(argv[3]);
  HMODULE lib = LoadLibraryA(argv[1]);
  if (camera == nullptr || jawt == nullptr || lib == nullptr) {
    std::fprintf(stderr, "cannot load the libraries\n");
    return 2;
  }
  g_stats =
      reinterpret_cast<tc::StatsFunction>(reinterpret_cast<void*>(GetProcAddress(camera, tc::kStatsExport)));
  g_setWindow = reinterpret_cast<void (*)(HWND, jint)>(
      reinterpret_cast<void*>(GetProcAddress(jawt, "FakeJawtSetWindow")));
  g_surfacesOut =
      reinterpret_cast<LONG (*)()>(reinterpret_cast<void*>(GetProcAddress(jawt, "FakeJawtSurfacesOut")));
  using Register = HRESULT(WINAPI*)();
  auto reg = reinterpret_cast<Register>(reinterpret_cast<void*>(GetProcAddress(camera, "DllRegisterServer")));
  // The registration runs in its own apartment; the binding initialises COM itself.
  CoInitialize(nullptr);
  const HRESULT registered = reg != nullptr ? reg() : E_FAIL;
  CoUninitialize();
  if (g_stats == nullptr || g_setWindow == nullptr || g_surfacesOut == nullptr || FAILED(registered)) {
    std::fprintf(stderr, "test fixtures not ready: 0x%08lx\n", static_cast<unsigned long>(registered));
    return 2;
  }
  win_checks::group = "exports";
  const bool found = Lookup(lib, "enumDevices", &g_lib.enumDevices) && Lookup(lib, "start", &g_lib.start) &&
                     Lookup(lib, "stop", &g_lib.stop) && Lookup(lib, "isRunning", &g_lib.isRunning) &&
                     Lookup(lib, "destroy", &g_lib.destroy) && Lookup(lib, "setBounds", &g_lib.setBounds) &&
                     Lookup(lib, "paint", &g_lib.paint) && Lookup(lib, "getFormat", &g_lib.getFormat) &&
                     Lookup(lib, "queryFormats", &g_lib.queryFormats) && Lookup(lib, "grab", &g_lib.grab);
  CHECK(found);
  if (found) {
    CanvasThread canvasThread("ZavBindingCanvas");
    HWND canvas = canvasThread.window();
    g_setWindow(canvas, 0);
    std::thread watcher(WatchBoxes);
    TestBinding(canvas);
    if (std::getenv("ZAV_TEST_VERBOSE") != nullptr) std::printf("  tests done\n");
    std::fflush(stdout);
    g_watching = false;
    watcher.join();
  }
  win_checks::group = "JNI use";
  // Every call was one the classes allow, and none came with an exception pending.
  CHECK(strict_jni::MisuseCount() == 0);
  return win_checks::Summary();
}
