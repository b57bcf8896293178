// The capture graph layer: every platform operation that device listing, graph
// building, format listing and painting use, as plain functions over opaque
// handles. Each operation corresponds to one DirectShow / COM call (named in its
// comment) and returns that call's result code, so the portable code keeps the
// order of its steps and its error sites on every platform:
//   - Windows: DirectShow itself (capture/win32/);
//   - Linux: a simulated camera platform (capture/sim/).
//
// Conventions
//   - Result codes are HRESULT values in a signed 32-bit int; success is >= 0.
//   - Every handle is a counted reference owned by whoever received it from an
//     out-parameter; it is given back with the matching Release. A handle may be
//     reinterpret_cast to and from the platform's own interface pointer
//     (Filter <-> IBaseFilter, Builder <-> ICaptureGraphBuilder2, ...).
//   - MediaType has the memory layout of AM_MEDIA_TYPE; VideoInfoHeader that of
//     VIDEOINFOHEADER; Guid that of GUID.
//   - A "null" category / media type argument means "any", as in DirectShow.
//
// This header is shared with the Windows backend: keep it stable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/com/com_types.h"

namespace capture::frame {
class FrameWork;
}

namespace capture::graph {

// ---------------------------------------------------------------- result codes
// HResult, the common codes, Succeeded and Failed, and Guid: common/com's.
using zav::com::Failed, zav::com::Guid, zav::com::HResult, zav::com::kClassNotRegistered, zav::com::kFail,
    zav::com::kFalse, zav::com::kInvalidArg, zav::com::kNoInterface, zav::com::kNotImplemented, zav::com::kOk,
    zav::com::kOutOfMemory, zav::com::kPointer, zav::com::kUnexpected, zav::com::Succeeded;

// A few DirectShow codes the simulated platform also produces.
constexpr HResult kVfwNotConnected = static_cast<HResult>(0x80040209);       // VFW_E_NOT_CONNECTED
constexpr HResult kVfwNoAcceptableTypes = static_cast<HResult>(0x8004022A);  // VFW_E_NO_ACCEPTABLE_TYPES
constexpr HResult kVfwAlreadyConnected = static_cast<HResult>(0x80040204);   // VFW_E_ALREADY_CONNECTED
constexpr HResult kVfwInvalidMediaType = static_cast<HResult>(0x80040200);   // VFW_E_INVALIDMEDIATYPE
constexpr HResult kVfwWrongState = static_cast<HResult>(0x80040227);         // VFW_E_WRONG_STATE

// ---------------------------------------------------------------- plain types
// The well-known identifiers (values as the platform defines them).
extern const Guid kMediaTypeVideo;      // MEDIATYPE_Video
extern const Guid kFormatVideoInfo;     // FORMAT_VideoInfo
extern const Guid kFormatVideoInfo2;    // FORMAT_VideoInfo2
extern const Guid kPinCategoryCapture;  // PIN_CATEGORY_CAPTURE
extern const Guid kSubtypeI420;         // MEDIASUBTYPE_I420
extern const Guid kSubtypeIYUV;         // MEDIASUBTYPE_IYUV
extern const Guid kSubtypeYV12;         // MEDIASUBTYPE_YV12
extern const Guid kSubtypeYUY2;         // MEDIASUBTYPE_YUY2
extern const Guid kSubtypeYUYV;         // MEDIASUBTYPE_YUYV
extern const Guid kSubtypeRGB24;        // MEDIASUBTYPE_RGB24
extern const Guid kSubtypeRGB32;        // MEDIASUBTYPE_RGB32
extern const Guid kSubtypeMJPG;         // MEDIASUBTYPE_MJPG
extern const Guid kVideoFilterClassId;  // the frame filter's class identifier

struct Rect {  // RECT
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

struct BitmapInfoHeader {  // BITMAPINFOHEADER
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
static_assert(sizeof(BitmapInfoHeader) == 40, "BITMAPINFOHEADER layout");

struct VideoInfoHeader {  // VIDEOINFOHEADER
  Rect rcSource;
  Rect rcTarget;
  std::uint32_t dwBitRate;
  std::uint32_t dwBitErrorRate;
  std::int64_t AvgTimePerFrame;
  BitmapInfoHeader bmiHeader;
};
static_assert(sizeof(VideoInfoHeader) == 88, "VIDEOINFOHEADER layout");

struct MediaType {  // AM_MEDIA_TYPE
  Guid majortype;
  Guid subtype;
  std::int32_t bFixedSizeSamples;
  std::int32_t bTemporalCompression;
  std::uint32_t lSampleSize;
  Guid formattype;
  void* pUnk;
  std::uint32_t cbFormat;
  std::uint8_t* pbFormat;
};

// The capability record of a stream configuration (VIDEO_STREAM_CONFIG_CAPS).
constexpr std::int32_t kStreamCapsSize = 128;

// IVMRFilterConfig::SetRenderingMode's windowless mode (VMRMode_Windowless).
constexpr std::uint32_t kVmrModeWindowless = 2;

enum class PinDirection : std::int32_t { kInput = 0, kOutput = 1 };  // PIN_DIRECTION

// A native window: HWND on Windows, an X11 window id on Linux. 0 means none.
using NativeWindow = std::uintptr_t;

// ---------------------------------------------------------------- handles
// Every handle type, with the platform interface it stands for: X(Handle, Interface).
// The one list the declarations here, the counted references (graph_ref.h) and
// each platform's Release functions are made from.
#define CAPTURE_GRAPH_HANDLES(X)              \
  X(Filter, IBaseFilter)                      \
  X(Builder, ICaptureGraphBuilder2)           \
  X(Graph, IGraphBuilder)                     \
  X(MediaControl, IMediaControl)              \
  X(RendererConfig, IVMRFilterConfig)         \
  X(WindowlessControl, IVMRWindowlessControl) \
  X(StreamConfig, IAMStreamConfig)            \
  X(Pin, IPin)                                \
  X(DeviceEnum, ICreateDevEnum)               \
  X(MonikerEnum, IEnumMoniker)                \
  X(Moniker, IMoniker)                        \
  X(PropertyBag, IPropertyBag)

#define CAPTURE_GRAPH_DECLARE_HANDLE(Handle, Interface) \
  struct Handle;                                        \
  void Release(Handle* handle);
CAPTURE_GRAPH_HANDLES(CAPTURE_GRAPH_DECLARE_HANDLE)
#undef CAPTURE_GRAPH_DECLARE_HANDLE

// The two handles the binding also takes references of its own to.
void AddRef(Filter* filter);
void AddRef(WindowlessControl* control);

// ---------------------------------------------------------------- device listing
// CoInitializeEx(NULL, COINIT_APARTMENTTHREADED) on the calling thread. True when
// the thread is in an apartment afterwards: a new one, or one it was already in
// (of either kind).
bool EnterComApartment();
// CoCreateInstance(CLSID_SystemDeviceEnum, ..., IID_ICreateDevEnum).
HResult CreateSystemDeviceEnum(DeviceEnum** out);
// CreateClassEnumerator(CLSID_VideoInputDeviceCategory, out, 0). May return
// S_FALSE with *out null when the category is empty.
HResult CreateVideoInputEnum(DeviceEnum* devEnum, MonikerEnum** out);
// IEnumMoniker::Next(1, out, NULL).
HResult NextMoniker(MonikerEnum* monikers, Moniker** out);
// IMoniker::BindToStorage(NULL, NULL, IID_IPropertyBag).
HResult BindToPropertyBag(Moniker* moniker, PropertyBag** out);
// IPropertyBag::Read(name, &variant, NULL) of a string property. On success
// *value is a new zero-terminated UTF-16 string of *length units (terminator not
// counted) that the caller frees with FreePropertyString; VariantInit and
// VariantClear happen inside.
HResult ReadStringProperty(PropertyBag* bag, const char16_t* name, char16_t** value, std::size_t* length);
void FreePropertyString(char16_t* value);
// IMoniker::BindToObject(NULL, NULL, IID_IBaseFilter).
HResult BindToFilter(Moniker* moniker, Filter** out);

// ---------------------------------------------------------------- graph building
// CoCreateInstance(CLSID_CaptureGraphBuilder2, NULL, CLSCTX_INPROC_SERVER, ...).
HResult CreateCaptureGraphBuilder(Builder** out);
// CoCreateInstance(CLSID_FilterGraph, NULL, CLSCTX_INPROC_SERVER, IID_IGraphBuilder).
HResult CreateFilterGraph(Graph** out);
// CoCreateInstance(CLSID_VideoMixingRenderer, NULL,
//                  CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IBaseFilter).
HResult CreateVideoRenderer(Filter** out);
// new VideoFilter(&hr, mirror): the library's own in-place frame filter, born with
// one reference. *out is set even when the result is a failure (the filter exists
// and the caller owns that reference).
HResult CreateVideoFilter(bool mirror, Filter** out);
// The frame work inside a filter made by CreateVideoFilter (borrowed: valid while
// a reference to the filter is held).
frame::FrameWork* FrameWorkOf(Filter* videoFilter);

// IFilterGraph::AddFilter(filter, name); name may be null.
HResult AddFilter(Graph* graph, Filter* filter, const char16_t* name);
// ICaptureGraphBuilder2::SetFiltergraph(graph).
HResult SetFiltergraph(Builder* builder, Graph* graph);
// renderer->QueryInterface(IID_IVMRFilterConfig).
HResult QueryRendererConfig(Filter* renderer, RendererConfig** out);
// IVMRFilterConfig::SetRenderingMode(mode).
HResult SetRenderingMode(RendererConfig* config, std::uint32_t mode);
// renderer->QueryInterface(IID_IVMRWindowlessControl).
HResult QueryWindowlessControl(Filter* renderer, WindowlessControl** out);
// IVMRWindowlessControl::SetVideoClippingWindow(window).
HResult SetVideoClippingWindow(WindowlessControl* control, NativeWindow window);
// ICaptureGraphBuilder2::FindInterface(category, majorType, source, IID_IAMStreamConfig).
HResult FindStreamConfig(Builder* builder, const Guid* category, const Guid* majorType, Filter* source,
                         StreamConfig** out);
// IAMStreamConfig::GetNumberOfCapabilities(count, size).
HResult GetNumberOfCapabilities(StreamConfig* config, std::int32_t* count, std::int32_t* size);
// IAMStreamConfig::GetStreamCaps(index, type, caps); caps points at
// kStreamCapsSize bytes. *type is freed with DeleteMediaType.
HResult GetStreamCaps(StreamConfig* config, std::int32_t index, MediaType** type, std::uint8_t* caps);
// IAMStreamConfig::SetFormat(type).
HResult SetFormat(StreamConfig* config, const MediaType* type);
// DeleteMediaType(type): frees the format block and the structure; null is ignored.
void DeleteMediaType(MediaType* type);
// ICaptureGraphBuilder2::FindPin(filter, direction, category, type, unconnected, index).
HResult FindPin(Builder* builder, Filter* filter, PinDirection direction, const Guid* category,
                const Guid* type, bool unconnected, std::int32_t index, Pin** out);
// IGraphBuilder::ConnectDirect(out, in, type); type may be null.
HResult ConnectDirect(Graph* graph, Pin* output, Pin* input, const MediaType* type);
// ICaptureGraphBuilder2::RenderStream(category, type, source, intermediate, sink).
HResult RenderStream(Builder* builder, const Guid* category, const Guid* type, Filter* source,
                     Filter* intermediate, Filter* sink);
// graph->QueryInterface(IID_IMediaControl).
HResult QueryMediaControl(Graph* graph, MediaControl** out);
// IMediaControl::Run() / Stop().
HResult Run(MediaControl* control);
HResult Stop(MediaControl* control);

// ---------------------------------------------------------------- video window
// IVMRWindowlessControl::GetNativeVideoSize(width, height, NULL, NULL).
HResult GetNativeVideoSize(WindowlessControl* control, std::int32_t* width, std::int32_t* height);
// IVMRWindowlessControl::SetVideoPosition(source, destination).
HResult SetVideoPosition(WindowlessControl* control, const Rect* source, const Rect* destination);
// GetDC(window); IVMRWindowlessControl::RepaintVideo(window, dc); ReleaseDC.
HResult RepaintVideo(WindowlessControl* control, NativeWindow window);

// ---------------------------------------------------------------- window and user
// GetClientRect(window, rect): true on success.
bool GetClientRect(NativeWindow window, Rect* rect);
// Fills the client area black: GetClientRect, GetDC, SelectObject(BLACK_BRUSH),
// Rectangle(0, 0, right, bottom), ReleaseDC. Does nothing when any step fails.
void PaintBlack(NativeWindow window);
// AMGetErrorTextA(hr, buffer, size): the length of the text put into buffer, 0
// when there is none.
std::uint32_t GetErrorText(HResult hr, char* buffer, std::uint32_t size);
// MessageBoxA(owner, text, caption, MB_OK): a modal report the user closes. The
// simulated platform records it and prints it to standard error instead.
void ShowErrorBox(NativeWindow owner, const char* text, const char* caption);

}  // namespace capture::graph
