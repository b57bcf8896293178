/* Machine-dependent JNI types and linkage for 32-bit Windows. */
#ifndef ZAV_WIN32_JNI_MD_H
#define ZAV_WIN32_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef __int64 jlong;
typedef signed char jbyte;

#endif
