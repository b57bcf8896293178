// X11 side of the simulated platform: client rectangles, black fills and the
// renderer's frame drawing, through a display connection of our own; and the
// JAWT hooks of the Linux build.
#include "capture/sim/sim_x11.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <jawt_md.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "capture/graph/awt_api.h"
#include "capture/sim/frame_pixels.h"

namespace capture::sim::x11 {
namespace {

std::mutex g_displayMutex;
Display* g_display = nullptr;
bool g_displayTried = false;
XErrorHandler g_otherHandler = nullptr;

// Errors of our own connection (a window that went away while we drew into it)
// are ours: the call that caused them fails. Everyone else's go to the handler
// that was there before (AWT's).
int OwnErrors(Display* display, XErrorEvent* error) {
  if (display == g_display) return 0;
  return g_otherHandler != nullptr ? g_otherHandler(display, error) : 0;
}

// The connection, opened on first use; null when there is no X server. The error
// handler is process-wide and AWT sets its own, so ours goes on top again each
// time, with whatever it finds there as the one it passes other errors to.
Display* TheDisplay() {
  if (!g_displayTried) {
    g_displayTried = true;
    g_display = XOpenDisplay(nullptr);
  }
  if (g_display != nullptr) {
    XErrorHandler previous = XSetErrorHandler(&OwnErrors);
    if (previous != &OwnErrors) g_otherHandler = previous;
  }
  return g_display;
}

}  // namespace

bool ClientRect(graph::NativeWindow window, graph::Rect* rect) {
  std::lock_guard<std::mutex> lock(g_displayMutex);
  Display* display = TheDisplay();
  if (display == nullptr || window == 0) {
    return false;
  }
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, static_cast<Window>(window), &attributes) == 0) {
    return false;
  }
  *rect = graph::Rect{0, 0, attributes.width, attributes.height};
  return true;
}

void FillBlack(graph::NativeWindow window) {
  std::lock_guard<std::mutex> lock(g_displayMutex);
  Display* display = TheDisplay();
  if (display == nullptr || window == 0) {
    return;
  }
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, static_cast<Window>(window), &attributes) == 0) {
    return;
  }
  GC gc = XCreateGC(display, static_cast<Window>(window), 0, nullptr);
  XSetForeground(display, gc, BlackPixel(display, DefaultScreen(display)));
  XFillRectangle(display, static_cast<Window>(window), gc, 0, 0, static_cast<unsigned>(attributes.width),
                 static_cast<unsigned>(attributes.height));
  XFreeGC(display, gc);
  XSync(display, False);
}

bool DrawFrame(graph::NativeWindow window, const graph::Rect& destination, const graph::Guid& subtype,
               std::int32_t width, std::int32_t height, const std::uint8_t* data, std::int32_t size) {
  const std::int64_t w = width;
  const std::int64_t h = height < 0 ? -static_cast<std::int64_t>(height) : height;
  const int dw = destination.right - destination.left;
  const int dh = destination.bottom - destination.top;
  if (!Drawable(subtype) || w <= 0 || h <= 0 || dw <= 0 || dh <= 0 || dw > 8192 || dh > 8192 ||
      NeededBytes(subtype, w, h) > size) {
    return false;
  }
  std::lock_guard<std::mutex> lock(g_displayMutex);
  Display* display = TheDisplay();
  if (display == nullptr || window == 0) {
    return false;
  }
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, static_cast<Window>(window), &attributes) == 0 ||
      attributes.visual->c_class != TrueColor || attributes.depth < 24) {
    return false;
  }
  auto* pixels =
      static_cast<char*>(std::malloc(static_cast<std::size_t>(dw) * static_cast<std::size_t>(dh) * 4));
  if (pixels == nullptr) {
    return false;
  }
  XImage* image = XCreateImage(display, attributes.visual, static_cast<unsigned>(attributes.depth), ZPixmap,
                               0, pixels, static_cast<unsigned>(dw), static_cast<unsigned>(dh), 32, 0);
  if (image == nullptr) {
    std::free(pixels);
    return false;
  }
  const FrameReader reader{subtype, w, h, height > 0, data};
  const bool direct = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                      image->red_mask == 0xFF0000 && image->green_mask == 0xFF00 && image->blue_mask == 0xFF;
  for (int y = 0; y < dh; ++y) {
    const std::int64_t sy = static_cast<std::int64_t>(y) * h / dh;
    auto* row = reinterpret_cast<std::uint32_t*>(image->data +
                                                 static_cast<std::ptrdiff_t>(y) * image->bytes_per_line);
    for (int x = 0; x < dw; ++x) {
      const std::uint32_t rgb = reader.Pixel(static_cast<std::int64_t>(x) * w / dw, sy);
      if (direct) {
        row[x] = rgb;
      } else {
        XPutPixel(image, x, y, rgb);
      }
    }
  }
  GC gc = XCreateGC(display, static_cast<Window>(window), 0, nullptr);
  XPutImage(display, static_cast<Window>(window), gc, image, 0, 0, destination.left, destination.top,
            static_cast<unsigned>(dw), static_cast<unsigned>(dh));
  XFreeGC(display, gc);
  XDestroyImage(image);  // frees pixels too
  XSync(display, False);
  return true;
}

}  // namespace capture::sim::x11

namespace capture::graph {

namespace {
using GetAwtFunction = jboolean(JNICALL*)(JNIEnv*, JAWT*);

// JAWT_GetAWT from the running JDK's libjawt.so, found next to its libjvm.so
// (lib/server/libjvm.so -> lib/libjawt.so) when it is not loaded yet.
GetAwtFunction FindGetAwt() {
  if (void* symbol = dlsym(RTLD_DEFAULT, "JAWT_GetAWT")) {
    return reinterpret_cast<GetAwtFunction>(symbol);
  }
  void* jvmSymbol = dlsym(RTLD_DEFAULT, "JNI_GetCreatedJavaVMs");
  Dl_info info;
  if (jvmSymbol == nullptr || dladdr(jvmSymbol, &info) == 0 || info.dli_fname == nullptr) {
    return nullptr;
  }
  std::string path = info.dli_fname;
  for (int up = 0; up < 2; ++up) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
      return nullptr;
    }
    path.erase(slash);
  }
  void* library = dlopen((path + "/libjawt.so").c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr) {
    return nullptr;
  }
  return reinterpret_cast<GetAwtFunction>(dlsym(library, "JAWT_GetAWT"));
}
}  // namespace

jboolean GetAwt(JNIEnv* env, JAWT* awt) {
  static const GetAwtFunction getAwt = FindGetAwt();
  return getAwt == nullptr ? JNI_FALSE : getAwt(env, awt);
}

NativeWindow WindowOfSurface(const JAWT_DrawingSurfaceInfo* info) {
  const auto* x11 = static_cast<const JAWT_X11DrawingSurfaceInfo*>(info->platformInfo);
  return x11 == nullptr ? 0 : static_cast<NativeWindow>(x11->drawable);
}

}  // namespace capture::graph
