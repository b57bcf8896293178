#include "core/java_objects.h"

#include <climits>
#include <cstdlib>
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

bool FormatMaker::LookUp(JNIEnv* env) {
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
  auto* block = static_cast<std::uint8_t*>(std::malloc(sizeof(graph::Guid)));
  if (block == nullptr) return {};
  std::memcpy(block, &subtype, sizeof(graph::Guid));
  LocalRef<jobject> buffer(env, env->NewDirectByteBuffer(block, sizeof(graph::Guid)));
  if (!buffer || env->ExceptionCheck()) {
    std::free(block);
    return {};
  }
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

}  // namespace capture::core
