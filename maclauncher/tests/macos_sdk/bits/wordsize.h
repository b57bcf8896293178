// Not Apple's: glibc's bits/wordsize.h of x86-64 takes any other target for a
// 32-bit one. Both Mac targets (arm64, x86_64) are LP64.
#define __WORDSIZE 64
#define __WORDSIZE_TIME64_COMPAT32 1
#define __SYSCALL_WORDSIZE 64
