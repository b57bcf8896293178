// Extended attributes as macOS declares them (sys/xattr.h; getxattr(2),
// setxattr(2), removexattr(2) of macOS 11): a position and options argument the
// Linux forms lack.
// https://developer.apple.com/library/archive/documentation/System/Conceptual/ManPages_iPhoneOS/man2/getxattr.2.html
#pragma once

#include <sys/types.h>

#define XATTR_NOFOLLOW 0x0001

#ifdef __cplusplus
extern "C" {
#endif
ssize_t getxattr(const char* path, const char* name, void* value, size_t size, u_int32_t position,
                 int options);
ssize_t fgetxattr(int fd, const char* name, void* value, size_t size, u_int32_t position, int options);
int setxattr(const char* path, const char* name, const void* value, size_t size, u_int32_t position,
             int options);
int removexattr(const char* path, const char* name, int options);
#ifdef __cplusplus
}
#endif
