/* The start-script check as the Objective-C handler calls it. */
#ifndef MACLAUNCHER_SCRIPT_GUARD_API_H
#define MACLAUNCHER_SCRIPT_GUARD_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the start script at scriptPath (UTF-8, "<client directory>/bin/clientStartup.sh")
   may be run. */
int zav_start_script_path_allowed(const char* scriptPath);

/* Runs that script, when it may be run, with the link (UTF-8) as its argument and
   waits for it: /bin/sh reads the very file checked. Nonzero when it ran. */
int zav_run_start_script(const char* scriptPath, const char* link);

#ifdef __cplusplus
}
#endif

#endif
