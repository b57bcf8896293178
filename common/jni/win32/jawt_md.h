/* Windows part of the Java AWT native interface: the platform info of a locked
   drawing surface on Windows. */
#ifndef ZAV_WIN32_JAWT_MD_H
#define ZAV_WIN32_JAWT_MD_H

#include <windows.h>

#include <jawt.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct jawt_Win32DrawingSurfaceInfo {
  /* The native window, bitmap or DIB bits the surface draws into. */
  union {
    HWND hwnd;
    HBITMAP hbitmap;
    void* pbits;
  };
  HDC hdc;
  HPALETTE hpalette;
} JAWT_Win32DrawingSurfaceInfo;

#ifdef __cplusplus
}
#endif

#endif
