// The unified log (os/log.h), macOS 10.12 and later:
// https://developer.apple.com/documentation/os/logging. os_log_with_type formats
// through the compiler's __builtin_os_log_format, which checks the format, its
// privacy annotations ({public}, {private}) and the argument types as Apple's
// header has the compiler do.
#pragma once

#include <stdint.h>

typedef struct os_log_s* os_log_t;
// https://developer.apple.com/documentation/os/os_log_type_t
typedef uint8_t os_log_type_t;
#define OS_LOG_TYPE_DEFAULT ((os_log_type_t)0x00)
#define OS_LOG_TYPE_INFO ((os_log_type_t)0x01)
#define OS_LOG_TYPE_DEBUG ((os_log_type_t)0x02)
#define OS_LOG_TYPE_ERROR ((os_log_type_t)0x10)
#define OS_LOG_TYPE_FAULT ((os_log_type_t)0x11)

#ifdef __cplusplus
extern "C" {
#endif
// https://developer.apple.com/documentation/os/1643744-os_log_create
os_log_t os_log_create(const char* subsystem, const char* category)
    __attribute__((availability(macos, introduced = 10.12)));
void _os_log_impl(void* dso, os_log_t log, os_log_type_t type, const char* format, uint8_t* buf,
                  uint32_t size) __attribute__((availability(macos, introduced = 10.12)));
extern struct mach_header __dso_handle;
#ifdef __cplusplus
}
#endif

// https://developer.apple.com/documentation/os/os_log_with_type
#define os_log_with_type(log, type, format, ...)                                        \
  __extension__({                                                                       \
    __attribute__((uninitialized))                                                      \
    uint8_t _os_log_buf[__builtin_os_log_format_buffer_size(format, ##__VA_ARGS__)];    \
    _os_log_impl(&__dso_handle, log, type, format,                                      \
                 (uint8_t*)__builtin_os_log_format(_os_log_buf, format, ##__VA_ARGS__), \
                 (uint32_t)sizeof(_os_log_buf));                                        \
  })
