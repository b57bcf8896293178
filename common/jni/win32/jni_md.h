/* Machine-dependent JNI types and linkage for 32-bit Windows. */
#ifndef ZAV_WIN32_JNI_MD_H
#define ZAV_WIN32_JNI_MD_H

/* Empty: what a JNI library exports is its export list's (a .def), so that jni.h's
   JNI_OnLoad/JNI_OnUnload add no MinGW-decorated name of their own. */
#define JNIEXPORT
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif
