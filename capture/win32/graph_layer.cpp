// The graph layer on DirectShow and COM: each operation is the one call its
// declaration names, on the interface its handle stands for.
#include <windows.h>
#include <dshow.h>
#include <errors.h>

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <new>

#include "capture/graph/graph_api.h"
#include "common/win32/scoped_variant.h"
#include "capture/win32/dshow_util.h"
#include "capture/win32/video_filter.h"

namespace capture::graph {

static_assert(sizeof(Guid) == sizeof(GUID), "GUID layout");
static_assert(sizeof(MediaType) == sizeof(AM_MEDIA_TYPE), "AM_MEDIA_TYPE layout");
static_assert(offsetof(MediaType, formattype) == offsetof(AM_MEDIA_TYPE, formattype), "AM_MEDIA_TYPE layout");
static_assert(offsetof(MediaType, pUnk) == offsetof(AM_MEDIA_TYPE, pUnk), "AM_MEDIA_TYPE layout");
static_assert(offsetof(MediaType, cbFormat) == offsetof(AM_MEDIA_TYPE, cbFormat), "AM_MEDIA_TYPE layout");
static_assert(offsetof(MediaType, pbFormat) == offsetof(AM_MEDIA_TYPE, pbFormat), "AM_MEDIA_TYPE layout");
static_assert(sizeof(VideoInfoHeader) == sizeof(VIDEOINFOHEADER), "VIDEOINFOHEADER layout");
static_assert(sizeof(Rect) == sizeof(RECT), "RECT layout");
static_assert(kStreamCapsSize == sizeof(VIDEO_STREAM_CONFIG_CAPS), "VIDEO_STREAM_CONFIG_CAPS size");
static_assert(kVmrModeWindowless == VMRMode_Windowless, "VMRMode_Windowless");
static_assert(static_cast<int>(PinDirection::kInput) == PINDIR_INPUT &&
                  static_cast<int>(PinDirection::kOutput) == PINDIR_OUTPUT,
              "PIN_DIRECTION values");

namespace {

IBaseFilter* F(Filter* f) { return reinterpret_cast<IBaseFilter*>(f); }
ICaptureGraphBuilder2* B(Builder* b) { return reinterpret_cast<ICaptureGraphBuilder2*>(b); }
IGraphBuilder* G(Graph* g) { return reinterpret_cast<IGraphBuilder*>(g); }
const GUID* Id(const Guid* g) { return reinterpret_cast<const GUID*>(g); }
AM_MEDIA_TYPE* Mt(const MediaType* t) { return reinterpret_cast<AM_MEDIA_TYPE*>(const_cast<MediaType*>(t)); }
HWND Wnd(NativeWindow w) { return reinterpret_cast<HWND>(w); }

template <typename Out>
HResult Create(REFCLSID clsid, DWORD context, REFIID iid, Out** out) {
  return CoCreateInstance(clsid, nullptr, context, iid, reinterpret_cast<void**>(out));
}

template <typename Out>
HResult Query(IUnknown* object, REFIID iid, Out** out) {
  return object->QueryInterface(iid, reinterpret_cast<void**>(out));
}

}  // namespace

void AddRef(Filter* filter) {
  if (filter != nullptr) F(filter)->AddRef();
}
void AddRef(WindowlessControl* control) {
  if (control != nullptr) reinterpret_cast<IUnknown*>(control)->AddRef();
}
// Each handle is its interface, released as the COM object it is.
#define CAPTURE_GRAPH_RELEASE(Handle, Interface)                            \
  void Release(Handle* handle) {                                            \
    if (handle != nullptr) reinterpret_cast<Interface*>(handle)->Release(); \
  }
CAPTURE_GRAPH_HANDLES(CAPTURE_GRAPH_RELEASE)
#undef CAPTURE_GRAPH_RELEASE

// ---------------------------------------------------------------- device listing

bool EnterComApartment() {
  const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

HResult CreateSystemDeviceEnum(DeviceEnum** out) {
  *out = nullptr;
  return Create(CLSID_SystemDeviceEnum, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum, out);
}

HResult CreateVideoInputEnum(DeviceEnum* devEnum, MonikerEnum** out) {
  *out = nullptr;
  return reinterpret_cast<ICreateDevEnum*>(devEnum)->CreateClassEnumerator(
      CLSID_VideoInputDeviceCategory, reinterpret_cast<IEnumMoniker**>(out), 0);
}

HResult NextMoniker(MonikerEnum* monikers, Moniker** out) {
  *out = nullptr;
  return reinterpret_cast<IEnumMoniker*>(monikers)->Next(1, reinterpret_cast<IMoniker**>(out), nullptr);
}

HResult BindToPropertyBag(Moniker* moniker, PropertyBag** out) {
  *out = nullptr;
  return reinterpret_cast<IMoniker*>(moniker)->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                                             reinterpret_cast<void**>(out));
}

HResult ReadStringProperty(PropertyBag* bag, const char16_t* name, char16_t** value, std::size_t* length) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");
  *value = nullptr;
  *length = 0;
  zav::win32::ScopedVariant variant;
  HRESULT hr =
      reinterpret_cast<IPropertyBag*>(bag)->Read(reinterpret_cast<LPCOLESTR>(name), variant.get(), nullptr);
  if (FAILED(hr)) {
    return hr;
  }
  if (variant->vt != VT_BSTR || variant->bstrVal == nullptr) {
    return DISP_E_TYPEMISMATCH;
  }
  const std::size_t n = std::wcslen(variant->bstrVal);
  auto* copy = new (std::nothrow) char16_t[n + 1];
  if (copy == nullptr) {
    return E_OUTOFMEMORY;
  }
  std::memcpy(copy, variant->bstrVal, (n + 1) * sizeof(char16_t));
  *value = copy;
  *length = n;
  return hr;
}

void FreePropertyString(char16_t* value) { delete[] value; }

HResult BindToFilter(Moniker* moniker, Filter** out) {
  *out = nullptr;
  return reinterpret_cast<IMoniker*>(moniker)->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                            reinterpret_cast<void**>(out));
}

// ---------------------------------------------------------------- graph building

HResult CreateCaptureGraphBuilder(Builder** out) {
  *out = nullptr;
  return Create(CLSID_CaptureGraphBuilder2, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2, out);
}

HResult CreateFilterGraph(Graph** out) {
  *out = nullptr;
  return Create(CLSID_FilterGraph, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, out);
}

HResult CreateVideoRenderer(Filter** out) {
  *out = nullptr;
  return Create(CLSID_VideoMixingRenderer, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IBaseFilter,
                out);
}

HResult CreateVideoFilter(bool mirror, Filter** out) {
  HRESULT hr = S_OK;
  auto* filter = new (std::nothrow) win32::VideoFilter(&hr, mirror);
  if (filter == nullptr) {
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
  *out = reinterpret_cast<Filter*>(static_cast<IBaseFilter*>(filter));
  return hr;
}

frame::FrameWork* FrameWorkOf(Filter* videoFilter) {
  win32::VideoFilter* filter = win32::VideoFilter::From(F(videoFilter));
  return filter != nullptr ? &filter->work() : nullptr;
}

HResult AddFilter(Graph* graph, Filter* filter, const char16_t* name) {
  return G(graph)->AddFilter(F(filter), reinterpret_cast<LPCWSTR>(name));
}

HResult SetFiltergraph(Builder* builder, Graph* graph) { return B(builder)->SetFiltergraph(G(graph)); }

HResult QueryRendererConfig(Filter* renderer, RendererConfig** out) {
  *out = nullptr;
  return Query(F(renderer), IID_IVMRFilterConfig, out);
}

HResult SetRenderingMode(RendererConfig* config, std::uint32_t mode) {
  return reinterpret_cast<IVMRFilterConfig*>(config)->SetRenderingMode(mode);
}

HResult QueryWindowlessControl(Filter* renderer, WindowlessControl** out) {
  *out = nullptr;
  return Query(F(renderer), IID_IVMRWindowlessControl, out);
}

HResult SetVideoClippingWindow(WindowlessControl* control, NativeWindow window) {
  return reinterpret_cast<IVMRWindowlessControl*>(control)->SetVideoClippingWindow(Wnd(window));
}

HResult FindStreamConfig(Builder* builder, const Guid* category, const Guid* majorType, Filter* source,
                         StreamConfig** out) {
  *out = nullptr;
  return B(builder)->FindInterface(Id(category), Id(majorType), F(source), IID_IAMStreamConfig,
                                   reinterpret_cast<void**>(out));
}

HResult GetNumberOfCapabilities(StreamConfig* config, std::int32_t* count, std::int32_t* size) {
  int c = 0, s = 0;
  HRESULT hr = reinterpret_cast<IAMStreamConfig*>(config)->GetNumberOfCapabilities(&c, &s);
  *count = c;
  *size = s;
  return hr;
}

HResult GetStreamCaps(StreamConfig* config, std::int32_t index, MediaType** type, std::uint8_t* caps) {
  *type = nullptr;
  return reinterpret_cast<IAMStreamConfig*>(config)->GetStreamCaps(
      index, reinterpret_cast<AM_MEDIA_TYPE**>(type), caps);
}

HResult SetFormat(StreamConfig* config, const MediaType* type) {
  return reinterpret_cast<IAMStreamConfig*>(config)->SetFormat(Mt(type));
}

void DeleteMediaType(MediaType* type) { win32::DeleteMediaType(Mt(type)); }

HResult FindPin(Builder* builder, Filter* filter, PinDirection direction, const Guid* category,
                const Guid* type, bool unconnected, std::int32_t index, Pin** out) {
  *out = nullptr;
  return B(builder)->FindPin(reinterpret_cast<IUnknown*>(F(filter)), static_cast<PIN_DIRECTION>(direction),
                             Id(category), Id(type), unconnected ? TRUE : FALSE, index,
                             reinterpret_cast<IPin**>(out));
}

HResult ConnectDirect(Graph* graph, Pin* output, Pin* input, const MediaType* type) {
  return G(graph)->ConnectDirect(reinterpret_cast<IPin*>(output), reinterpret_cast<IPin*>(input), Mt(type));
}

HResult RenderStream(Builder* builder, const Guid* category, const Guid* type, Filter* source,
                     Filter* intermediate, Filter* sink) {
  return B(builder)->RenderStream(Id(category), Id(type), reinterpret_cast<IUnknown*>(F(source)),
                                  F(intermediate), F(sink));
}

HResult QueryMediaControl(Graph* graph, MediaControl** out) {
  *out = nullptr;
  return Query(G(graph), IID_IMediaControl, out);
}

HResult Run(MediaControl* control) { return reinterpret_cast<IMediaControl*>(control)->Run(); }
HResult Stop(MediaControl* control) { return reinterpret_cast<IMediaControl*>(control)->Stop(); }

// ---------------------------------------------------------------- video window

HResult GetNativeVideoSize(WindowlessControl* control, std::int32_t* width, std::int32_t* height) {
  LONG w = *width, h = *height;
  HRESULT hr =
      reinterpret_cast<IVMRWindowlessControl*>(control)->GetNativeVideoSize(&w, &h, nullptr, nullptr);
  *width = w;
  *height = h;
  return hr;
}

HResult SetVideoPosition(WindowlessControl* control, const Rect* source, const Rect* destination) {
  RECT from{source->left, source->top, source->right, source->bottom};
  RECT to{destination->left, destination->top, destination->right, destination->bottom};
  return reinterpret_cast<IVMRWindowlessControl*>(control)->SetVideoPosition(&from, &to);
}

HResult RepaintVideo(WindowlessControl* control, NativeWindow window) {
  HDC dc = GetDC(Wnd(window));
  HRESULT hr = reinterpret_cast<IVMRWindowlessControl*>(control)->RepaintVideo(Wnd(window), dc);
  if (dc != nullptr) ReleaseDC(Wnd(window), dc);
  return hr;
}

// ---------------------------------------------------------------- window and user

bool GetClientRect(NativeWindow window, Rect* rect) {
  RECT r{};
  if (!::GetClientRect(Wnd(window), &r)) return false;
  *rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

void PaintBlack(NativeWindow window) {
  RECT r{};
  if (!::GetClientRect(Wnd(window), &r)) return;
  HDC dc = GetDC(Wnd(window));
  if (dc == nullptr) return;
  HGDIOBJ previous = SelectObject(dc, GetStockObject(BLACK_BRUSH));
  Rectangle(dc, 0, 0, r.right, r.bottom);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(Wnd(window), dc);
}

std::uint32_t GetErrorText(HResult hr, char* buffer, std::uint32_t size) {
  return AMGetErrorTextA(hr, buffer, size);
}

void ShowErrorBox(NativeWindow owner, const char* text, const char* caption) {
  MessageBoxA(Wnd(owner), text, caption, MB_OK);
}

}  // namespace capture::graph
