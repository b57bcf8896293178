// The Java objects the camera binding makes: lists, VideoFormat and GUID records.
// Every maker returns an empty reference when it fails; an exception a Java
// constructor or method threw then stays pending, a class that lacks what is
// looked up is an ordinary failure (its look-up error cleared).
#pragma once

#include <jni.h>

#include <cstdint>

#include "graph/graph_api.h"
#include "jni_frame.h"

namespace capture::core {

inline constexpr char kDeviceClass[] = "lumotool/camgripper/CaptureDevice";
inline constexpr char kFormatClass[] = "lumotool/camgripper/VideoFormat";
inline constexpr char kGuidClass[] = "lumotool/camgripper/GUID";

// A java.util.ArrayList: LookUp finds the class and its methods, Create makes one.
class JavaList {
 public:
  bool LookUp(JNIEnv* env);
  bool Create(JNIEnv* env);
  // False with the exception of add pending.
  bool Add(JNIEnv* env, jobject element);
  jobject Release() { return list_.release(); }

 private:
  zav::jni::LocalRef<jclass> class_;
  jmethodID init_ = nullptr;
  jmethodID add_ = nullptr;
  zav::jni::LocalRef<jobject> list_;
};

// VideoFormat(int, int, GUID) and GUID(ByteBuffer).
class FormatMaker {
 public:
  bool LookUp(JNIEnv* env);
  // A VideoFormat of width, height and subtype; the GUID's 16-byte block lives as
  // long as the process (the Java object may read it at any time).
  zav::jni::LocalRef<jobject> Make(JNIEnv* env, std::int32_t width, std::int32_t height,
                                   const graph::Guid& subtype) const;

 private:
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
  bool LookUp(JNIEnv* env);
};

// The buffer a grab may write into: its address and capacity when it is a direct
// buffer that is not read-only (Buffer.isReadOnly), null and 0 otherwise. False
// with the exception of isReadOnly pending.
bool WritableBuffer(JNIEnv* env, jobject buffer, std::uint8_t** address, std::int32_t* capacity);

// A property of a listed device as a Java string; null when it cannot be read.
jstring ReadProperty(JNIEnv* env, graph::PropertyBag* bag, const char16_t* name);

}  // namespace capture::core
