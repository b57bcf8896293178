// https://developer.apple.com/library/archive/documentation/System/Conceptual/ManPages_iPhoneOS/man3/dyld.3.html:
// _NSGetExecutablePath copies the executable's path into buf; -1 with *bufsize set
// to the size needed when it does not fit.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif
int _NSGetExecutablePath(char* buf, uint32_t* bufsize);
#ifdef __cplusplus
}
#endif
