// Tells whether this Windows (or Wine) can give the video renderer Direct3D: creates a
// window and a Direct3D 9 device on it, as the Video Mixing Renderer does. Exit 0 when
// it can; otherwise one line on standard error and exit 1. The camera tests run it
// first, so a machine that lacks what the renderer draws with is told apart from a
// library that fails.
#include <windows.h>
#include <d3d9.h>

#include <cstdio>

#include "common/com/com_ref.h"
#include "common/win32/scoped_handles.h"

int main() {
  auto d3d = zav::ComRef<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
  if (!d3d) {
    std::fprintf(stderr, "renderer probe: Direct3DCreate9 failed\n");
    return 1;
  }
  zav::win32::ScopedWindow window(CreateWindowExA(0, "STATIC", "renderer probe", WS_OVERLAPPEDWINDOW, 0, 0,
                                                  64, 64, nullptr, nullptr, GetModuleHandleA(nullptr),
                                                  nullptr));
  if (!window) {
    std::fprintf(stderr, "renderer probe: no window (error %lu)\n", GetLastError());
    return 1;
  }
  D3DPRESENT_PARAMETERS params = {};
  params.Windowed = TRUE;
  params.SwapEffect = D3DSWAPEFFECT_COPY;
  params.BackBufferFormat = D3DFMT_UNKNOWN;
  params.hDeviceWindow = window.get();
  zav::ComRef<IDirect3DDevice9> device;
  HRESULT hr = d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window.get(),
                                 D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, device.receive());
  if (FAILED(hr)) {
    std::fprintf(stderr, "renderer probe: no Direct3D device (0x%08lx)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  return 0;
}
