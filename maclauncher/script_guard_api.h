/* The start-script check as the Objective-C handler calls it. */
#ifndef MACLAUNCHER_SCRIPT_GUARD_API_H
#define MACLAUNCHER_SCRIPT_GUARD_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the start script of the client directory (UTF-8) may be run. */
int zav_start_script_allowed(const char *clientDirectory);

#ifdef __cplusplus
}
#endif

#endif
