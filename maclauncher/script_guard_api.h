/* The start-script check as the Objective-C handler calls it. */
#ifndef MACLAUNCHER_SCRIPT_GUARD_API_H
#define MACLAUNCHER_SCRIPT_GUARD_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Nonzero when the start script at scriptPath (UTF-8, "<client directory>/bin/clientStartup.sh")
   may be run. */
int zav_start_script_path_allowed(const char* scriptPath);

/* Starts that script, when it may be run, with the link (UTF-8) as its argument,
   and does not wait: the process, or -1 with the reason written to `why` (size
   bytes, NUL-terminated). */
int zav_spawn_start_script(const char* scriptPath, const char* link, char* why, int size);

/* Waits for a started script to end; its wait status. */
int zav_wait_start_script(int child);

/* The handler's own rules over a link's text (UTF-8, `length` bytes: it may hold a
   NUL): 0 when it is allowed, else nonzero with the reason written to `why`. */
int zav_link_text_refused(const char* text, int length, char* why, int size);

/* The start script path a link names (as the system's URL parser gave it back),
   into `path` (size bytes); 0 when it names none or it does not fit. */
int zav_start_script_of_link(const char* link, char* path, int size);

#ifdef __cplusplus
}
#endif

#endif
