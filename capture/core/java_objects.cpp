#include "capture/core/java_objects.h"

#include <climits>
#include <cstring>

namespace capture::core {

using zav::jni::LocalRef;
using zav::jni::OnMissing;

bool JavaList::LookUp(JNIEnv* env) {
  class_ = zav::jni::FindClass(env, "java/util/ArrayList", OnMissing::kClear);
  if (!class_) return false;
  init_ = zav::jni::MethodId(env, class_.get(), "<init>", "()V", OnMissing::kClear);
  if (init_ == nullptr) return false;
  add_ = zav::jni::MethodId(env, class_.get(), "add", "(Ljava/lang/Object;)Z", OnMissing::kClear);
  return add_ != nullptr;
}

bool JavaList::Create(JNIEnv* env) {
  list_ = LocalRef<jobject>(env, env->NewObject(class_.get(), init_));
  return list_ && !env->ExceptionCheck();
}

bool JavaList::Add(JNIEnv* env, jobject element) {
  env->CallBooleanMethod(list_.get(), add_, element);
  return !env->ExceptionCheck();
}

bool DirectBuffers::LookUp(JNIEnv* env) {
  class_ = zav::jni::FindClass(env, "java/nio/ByteBuffer", OnMissing::kClear);
  if (!class_) return false;
  allocateDirect_ = env->GetStaticMethodID(class_.get(), "allocateDirect", "(I)Ljava/nio/ByteBuffer;");
  if (env->ExceptionCheck()) env->ExceptionClear();
  return allocateDirect_ != nullptr;
}

LocalRef<jobject> DirectBuffers::Make(JNIEnv* env, std::int32_t capacity, std::uint8_t** address) const {
  *address = nullptr;
  LocalRef<jobject> buffer(env, env->CallStaticObjectMethod(class_.get(), allocateDirect_, capacity));
  if (!buffer || env->ExceptionCheck()) return {};
  *address = static_cast<std::uint8_t*>(env->GetDirectBufferAddress(buffer.get()));
  if (*address == nullptr && capacity > 0) return {};
  return buffer;
}

bool FormatMaker::LookUp(JNIEnv* env) {
  if (!buffers_.LookUp(env)) return false;
  formatClass_ = zav::jni::FindClass(env, kFormatClass, OnMissing::kClear);
  if (!formatClass_) return false;
  formatInit_ = zav::jni::MethodId(env, formatClass_.get(), "<init>", "(IILlumotool/camgripper/GUID;)V",
                                   OnMissing::kClear);
  if (formatInit_ == nullptr) return false;
  guidClass_ = zav::jni::FindClass(env, kGuidClass, OnMissing::kClear);
  if (!guidClass_) return false;
  guidInit_ =
      zav::jni::MethodId(env, guidClass_.get(), "<init>", "(Ljava/nio/ByteBuffer;)V", OnMissing::kClear);
  return guidInit_ != nullptr;
}

LocalRef<jobject> FormatMaker::Make(JNIEnv* env, std::int32_t width, std::int32_t height,
                                    const graph::Guid& subtype) const {
  std::uint8_t* block = nullptr;
  LocalRef<jobject> buffer = buffers_.Make(env, sizeof(graph::Guid), &block);
  if (!buffer) return {};
  std::memcpy(block, &subtype, sizeof(graph::Guid));
  LocalRef<jobject> guid(env, env->NewObject(guidClass_.get(), guidInit_, buffer.get()));
  if (!guid || env->ExceptionCheck()) return {};
  LocalRef<jobject> format(env, env->NewObject(formatClass_.get(), formatInit_, static_cast<jint>(width),
                                               static_cast<jint>(height), guid.get()));
  if (env->ExceptionCheck()) return {};
  return format;
}

bool FormatQuestions::LookUp(JNIEnv* env) {
  auto formatClass = zav::jni::FindClass(env, kFormatClass, OnMissing::kClear);
  if (!formatClass) return false;
  getWidth = zav::jni::MethodId(env, formatClass.get(), "getWidth", "()I", OnMissing::kClear);
  if (getWidth == nullptr) return false;
  getHeight = zav::jni::MethodId(env, formatClass.get(), "getHeight", "()I", OnMissing::kClear);
  if (getHeight == nullptr) return false;
  getSubType = zav::jni::MethodId(env, formatClass.get(), "getSubType", "()Llumotool/camgripper/GUID;",
                                  OnMissing::kClear);
  if (getSubType == nullptr) return false;
  auto guidClass = zav::jni::FindClass(env, kGuidClass, OnMissing::kClear);
  if (!guidClass) return false;
  getBuf = zav::jni::MethodId(env, guidClass.get(), "getBuf", "()Ljava/nio/ByteBuffer;", OnMissing::kClear);
  return getBuf != nullptr;
}

jstring ReadProperty(JNIEnv* env, graph::PropertyBag* bag, const char16_t* name) {
  char16_t* value = nullptr;
  std::size_t length = 0;
  if (graph::Failed(graph::ReadStringProperty(bag, name, &value, &length)) || value == nullptr) {
    return nullptr;
  }
  if (length > static_cast<std::size_t>(INT32_MAX)) {
    length = INT32_MAX;
  }
  jstring text = env->NewString(reinterpret_cast<const jchar*>(value), static_cast<jsize>(length));
  graph::FreePropertyString(value);
  return text;
}

bool WritableBuffer(JNIEnv* env, jobject buffer, std::uint8_t** address, std::int32_t* capacity) {
  *address = nullptr;
  *capacity = 0;
  if (buffer == nullptr) return true;
  auto bufferClass = zav::jni::FindClass(env, "java/nio/Buffer", OnMissing::kClear);
  if (!bufferClass) return true;
  jmethodID isReadOnly = zav::jni::MethodId(env, bufferClass.get(), "isReadOnly", "()Z", OnMissing::kClear);
  if (isReadOnly == nullptr || !env->IsInstanceOf(buffer, bufferClass.get())) return true;
  const jboolean readOnly = env->CallBooleanMethod(buffer, isReadOnly);
  if (env->ExceptionCheck()) return false;
  if (readOnly) return true;
  auto* bytes = static_cast<std::uint8_t*>(env->GetDirectBufferAddress(buffer));
  if (bytes == nullptr) return true;
  const jlong size = env->GetDirectBufferCapacity(buffer);
  *address = bytes;
  *capacity = size < 0 ? 0 : (size > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(size));
  return true;
}

bool CanvasScale(JNIEnv* env, jobject canvas, double* x, double* y) {
  *x = 1.0;
  *y = 1.0;
  auto componentClass = zav::jni::FindClass(env, "java/awt/Component", OnMissing::kClear);
  auto configClass = zav::jni::FindClass(env, "java/awt/GraphicsConfiguration", OnMissing::kClear);
  auto transformClass = zav::jni::FindClass(env, "java/awt/geom/AffineTransform", OnMissing::kClear);
  if (!componentClass || !configClass || !transformClass ||
      !env->IsInstanceOf(canvas, componentClass.get())) {
    return true;
  }
  jmethodID getConfig = zav::jni::MethodId(env, componentClass.get(), "getGraphicsConfiguration",
                                           "()Ljava/awt/GraphicsConfiguration;", OnMissing::kClear);
  jmethodID getTransform = zav::jni::MethodId(env, configClass.get(), "getDefaultTransform",
                                              "()Ljava/awt/geom/AffineTransform;", OnMissing::kClear);
  jmethodID scaleX = zav::jni::MethodId(env, transformClass.get(), "getScaleX", "()D", OnMissing::kClear);
  jmethodID scaleY = zav::jni::MethodId(env, transformClass.get(), "getScaleY", "()D", OnMissing::kClear);
  if (getConfig == nullptr || getTransform == nullptr || scaleX == nullptr || scaleY == nullptr) return true;
  LocalRef<jobject> config(env, env->CallObjectMethod(canvas, getConfig));
  if (env->ExceptionCheck()) return false;
  if (!config) return true;
  LocalRef<jobject> transform(env, env->CallObjectMethod(config.get(), getTransform));
  if (env->ExceptionCheck()) return false;
  if (!transform) return true;
  const double sx = env->CallDoubleMethod(transform.get(), scaleX);
  if (env->ExceptionCheck()) return false;
  const double sy = env->CallDoubleMethod(transform.get(), scaleY);
  if (env->ExceptionCheck()) return false;
  // A transform that is no plain scale (or none at all) leaves the size as it is.
  if (sx > 0 && sx <= 16) *x = sx;
  if (sy > 0 && sy <= 16) *y = sy;
  return true;
}

}  // namespace capture::core
