#include "capture/win32/video_filter.h"

#include <cstring>

namespace capture::win32 {

namespace {
// {7FEC15CE-5CF1-42EA-BA85-0360B598E766}
const CLSID kClassId = {0x7FEC15CE, 0x5CF1, 0x42EA, {0xBA, 0x85, 0x03, 0x60, 0xB5, 0x98, 0xE7, 0x66}};
}  // namespace

VideoFilter::VideoFilter(HRESULT* hr, bool mirror)
    : TransInPlaceFilter(L"VideoFilter", nullptr, kClassId, hr, true), work_(mirror) {
  AddRef();
}

VideoFilter::~VideoFilter() = default;

HRESULT VideoFilter::CheckInputType(const AM_MEDIA_TYPE*) { return S_OK; }

HRESULT VideoFilter::SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE* type) {
  static_assert(sizeof(AM_MEDIA_TYPE) == sizeof(graph::MediaType), "AM_MEDIA_TYPE layout");
  work_.SetMediaType(*reinterpret_cast<const graph::MediaType*>(type));
  return S_OK;
}

HRESULT VideoFilter::Transform(IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || data == nullptr) {
    return S_OK;
  }
  work_.Transform(data, sample->GetSize());
  return S_OK;
}

VideoFilter* VideoFilter::From(IBaseFilter* filter) {
  if (filter == nullptr) return nullptr;
  CLSID id{};
  if (FAILED(filter->GetClassID(&id)) || id != kClassId) return nullptr;
  return static_cast<VideoFilter*>(static_cast<TransInPlaceFilter*>(filter));
}

}  // namespace capture::win32
