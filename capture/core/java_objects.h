// The Java objects the camera binding makes: lists, VideoFormat and GUID records.
// Every maker returns an empty reference when it fails; an exception a Java
// constructor or method threw then stays pending, a class that lacks what is
// looked up is an ordinary failure (its look-up error cleared).
#pragma once

#include <jni.h>

#include <cstdint>

#include "capture/graph/graph_api.h"
#include "common/jni/jni_frame.h"

namespace capture::core {

inline constexpr char kDeviceClass[] = "lumotool/camgripper/CaptureDevice";
inline constexpr char kFormatClass[] = "lumotool/camgripper/VideoFormat";
inline constexpr char kGuidClass[] = "lumotool/camgripper/GUID";

// A java.util.ArrayList: LookUp finds the class and its methods, Create makes one.
class JavaList {
 public:
  [[nodiscard]] bool LookUp(JNIEnv* env);
  [[nodiscard]] bool Create(JNIEnv* env);
  // False with the exception of add pending.
  [[nodiscard]] bool Add(JNIEnv* env, jobject element);
  [[nodiscard]] jobject Detach() { return list_.detach(); }

 private:
  zav::jni::LocalRef<jclass> class_;
  jmethodID init_ = nullptr;
  jmethodID add_ = nullptr;
  zav::jni::LocalRef<jobject> list_;
};

// Direct java.nio.ByteBuffers the JVM owns and frees with the buffer
// (ByteBuffer.allocateDirect), filled in place through their address.
class DirectBuffers {
 public:
  [[nodiscard]] bool LookUp(JNIEnv* env);
  // A new buffer of `capacity` bytes and its address; empty (with the JVM's
  // OutOfMemoryError pending) when none can be had.
  [[nodiscard]] zav::jni::LocalRef<jobject> Make(JNIEnv* env, std::int32_t capacity,
                                                 std::uint8_t** address) const;

 private:
  zav::jni::LocalRef<jclass> class_;
  jmethodID allocateDirect_ = nullptr;
};

// VideoFormat(int, int, GUID) and GUID(ByteBuffer).
class FormatMaker {
 public:
  [[nodiscard]] bool LookUp(JNIEnv* env);
  // A VideoFormat of width, height and subtype; the GUID's 16 bytes are in a
  // buffer of its own that goes with the GUID object.
  [[nodiscard]] zav::jni::LocalRef<jobject> Make(JNIEnv* env, std::int32_t width, std::int32_t height,
                                                 const graph::Guid& subtype) const;

 private:
  DirectBuffers buffers_;
  zav::jni::LocalRef<jclass> formatClass_;
  jmethodID formatInit_ = nullptr;
  zav::jni::LocalRef<jclass> guidClass_;
  jmethodID guidInit_ = nullptr;
};

// What start asks of the client's VideoFormat, looked up once per call.
struct FormatQuestions {
  jmethodID getWidth = nullptr;
  jmethodID getHeight = nullptr;
  jmethodID getSubType = nullptr;
  jmethodID getBuf = nullptr;
  [[nodiscard]] bool LookUp(JNIEnv* env);
};

// The buffer a grab may write into: its address and capacity when it is a direct
// buffer that is not read-only (Buffer.isReadOnly), null and 0 otherwise. False
// with the exception of isReadOnly pending.
bool WritableBuffer(JNIEnv* env, jobject buffer, std::uint8_t** address, std::int32_t* capacity);

// How many device pixels one of the canvas's logical pixels spans, across and
// down: its GraphicsConfiguration's default transform (1 and 1 while it has none).
// False with the exception of a method it asks pending.
bool CanvasScale(JNIEnv* env, jobject canvas, double* x, double* y);

// A property of a listed device as a Java string; null when it cannot be read.
jstring ReadProperty(JNIEnv* env, graph::PropertyBag* bag, const char16_t* name);

}  // namespace capture::core
