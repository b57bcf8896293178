// How a native method's entry point is declared in both JNI libraries: C linkage and
// the JNI calling convention. Which names the library exports is its export list's
// business (zav_jni_exports in CMake), so the entry point is only kept visible to
// the linker here, never exported by an attribute of its own.
#pragma once

#include <jni.h>

#ifdef _WIN32
#define ZAV_NATIVE extern "C" JNICALL
#else
#define ZAV_NATIVE extern "C" __attribute__((visibility("default"))) JNICALL
#endif
