// Lock rules as annotations clang checks (-Wthread-safety): which lock guards a
// field, which a function needs held or takes and gives up. Other compilers see
// empty macros. The names are those of clang's documentation and Chromium's
// base/thread_annotations.h.
#pragma once

#if defined(__clang__)
#define ZAV_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define ZAV_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) ZAV_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY ZAV_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) ZAV_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) ZAV_THREAD_ANNOTATION(pt_guarded_by(x))
#define REQUIRES(...) ZAV_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) ZAV_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) ZAV_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) ZAV_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) ZAV_THREAD_ANNOTATION(assert_capability(x))
#define RETURN_CAPABILITY(x) ZAV_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS ZAV_THREAD_ANNOTATION(no_thread_safety_analysis)
