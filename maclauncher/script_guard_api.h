/* The start-script check as the Objective-C handler calls it. */
#ifndef MACLAUNCHER_SCRIPT_GUARD_API_H
#define MACLAUNCHER_SCRIPT_GUARD_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the start script at scriptPath (UTF-8, "<client directory>/bin/clientStartup.sh")
   may be run. */
int zav_start_script_path_allowed(const char* scriptPath);

#ifdef __cplusplus
}
#endif

#endif
