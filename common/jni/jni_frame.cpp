#include "common/jni/jni_frame.h"

namespace zav::jni {

namespace {

template <typename T>
T Checked(JNIEnv* env, T found, OnMissing policy) {
  if (env->ExceptionCheck()) {
    if (policy == OnMissing::kClear) env->ExceptionClear();
    return nullptr;
  }
  return found;
}

}  // namespace

LocalRef<jclass> FindClass(JNIEnv* env, const char* name, OnMissing policy) {
  return LocalRef<jclass>(env, Checked(env, env->FindClass(name), policy));
}

LocalRef<jclass> ObjectClass(JNIEnv* env, jobject object) {
  return LocalRef<jclass>(env, env->GetObjectClass(object));
}

jmethodID MethodId(JNIEnv* env, jclass cls, const char* name, const char* signature, OnMissing policy) {
  return Checked(env, env->GetMethodID(cls, name, signature), policy);
}

jfieldID FieldId(JNIEnv* env, jclass cls, const char* name, const char* signature, OnMissing policy) {
  return Checked(env, env->GetFieldID(cls, name, signature), policy);
}

void Throw(JNIEnv* env, const char* className, const char* message) {
  if (env->ExceptionCheck()) return;
  LocalRef<jclass> cls = FindClass(env, className, OnMissing::kLeavePending);
  if (!cls) return;
  LocalRef<jclass> throwable = FindClass(env, "java/lang/Throwable", OnMissing::kLeavePending);
  if (!throwable) return;
  if (env->IsAssignableFrom(cls.get(), throwable.get())) {
    env->ThrowNew(cls.get(), message);
    return;
  }
  LocalRef<jclass> mismatch =
      FindClass(env, "java/lang/IncompatibleClassChangeError", OnMissing::kLeavePending);
  if (!mismatch) return;
  char text[200];
  int n = 0;
  for (const char* p = className; *p && n < 150; ++p) text[n++] = *p == '/' ? '.' : *p;
  const char tail[] = " is not a Throwable";
  for (const char* p = tail; *p; ++p) text[n++] = *p;
  text[n] = '\0';
  env->ThrowNew(mismatch.get(), text);
}

}  // namespace zav::jni
