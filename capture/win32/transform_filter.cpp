// The filter of the in-place transform base: its interfaces, states, pins and
// the path of one sample through Transform.
#include "capture/win32/transform_base.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <dvdmedia.h>

#include "common/win32/com_object.h"
#include "capture/win32/dshow_util.h"

namespace capture::win32 {

// ------------------------------------------------------------------ filter

TransInPlaceFilter::TransInPlaceFilter(const wchar_t* objectName, IUnknown* outer, REFCLSID classId,
                                       HRESULT* hr, bool modifiesData)
    : objectName_(objectName != nullptr ? objectName : L""),
      classId_(classId),
      modifiesData_(modifiesData),
      input_(this),
      output_(this) {
  // Aggregation is not supported: a filter with an outer object reports it.
  if (outer != nullptr && hr != nullptr) *hr = CLASS_E_NOAGGREGATION;
}

TransInPlaceFilter::~TransInPlaceFilter() = default;

HRESULT TransInPlaceFilter::Register() { return S_FALSE; }
HRESULT TransInPlaceFilter::Unregister() { return S_FALSE; }

HRESULT TransInPlaceFilter::GetClassID(CLSID* classId) {
  if (classId == nullptr) return E_POINTER;
  *classId = classId_;
  return S_OK;
}

HRESULT TransInPlaceFilter::Stop() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (state_ == State_Stopped) return S_OK;
  state_ = State_Stopped;
  // Release any thread blocked in GetBuffer; the allocators are committed again on Pause.
  if (IMemAllocator* a = output_.allocator()) a->Decommit();
  if (IMemAllocator* a = input_.allocator()) a->Decommit();
  return S_OK;
}

HRESULT TransInPlaceFilter::Pause() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (state_ == State_Stopped) {
    if (IMemAllocator* a = output_.allocator()) {
      HRESULT hr = a->Commit();
      if (FAILED(hr)) return hr;
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT TransInPlaceFilter::Run(REFERENCE_TIME start) {
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard<std::recursive_mutex> lock(lock_);
  start_ = start;
  state_ = State_Running;
  return S_OK;
}

HRESULT TransInPlaceFilter::GetState(DWORD, FILTER_STATE* state) {
  if (state == nullptr) return E_POINTER;
  *state = state_;
  return S_OK;
}

HRESULT TransInPlaceFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  clock_ = zav::ComRef<IReferenceClock>::Share(clock);
  return S_OK;
}

HRESULT TransInPlaceFilter::GetSyncSource(IReferenceClock** clock) {
  if (clock == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(lock_);
  *clock = zav::ComRef<IReferenceClock>(clock_).detach();
  return S_OK;
}

HRESULT TransInPlaceFilter::EnumPins(IEnumPins** pins) {
  IPin* const list[2] = {static_cast<IPin*>(&input_), static_cast<IPin*>(&output_)};
  return CreatePinEnum(list, 2, pins);
}

HRESULT TransInPlaceFilter::FindPin(LPCWSTR id, IPin** pin) {
  IPin* const pins[2] = {&input_, &output_};
  const wchar_t* const names[2] = {input_.name().c_str(), output_.name().c_str()};
  return FindPinByName(id, pins, names, 2, pin);
}

HRESULT TransInPlaceFilter::QueryFilterInfo(FILTER_INFO* info) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  return FillFilterInfo(info, graphName_.c_str(), graph_);
}

HRESULT TransInPlaceFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  graph_ = graph;
  graphName_ = name != nullptr ? name : L"";
  return S_OK;
}

HRESULT TransInPlaceFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT TransInPlaceFilter::SetMediaType(PIN_DIRECTION, const AM_MEDIA_TYPE*) { return S_OK; }

HRESULT TransInPlaceFilter::ReceiveSample(IMediaSample* sample) {
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  if (input_.flushing()) return S_FALSE;
  IMemInputPin* downstream = output_.downstream();
  IMemAllocator* outAllocator = output_.allocator();
  // No renderer yet (started before the canvas had a window): the frame ends here,
  // after the work on it (a grab takes it from there).
  if (downstream == nullptr && !output_.IsConnected()) return Transform(sample);
  if (downstream == nullptr || outAllocator == nullptr) return VFW_E_NOT_CONNECTED;

  if (outAllocator == input_.allocator()) {
    // Pass-through: the sample travels on in its own buffer.
    HRESULT hr = Transform(sample);
    if (FAILED(hr)) return hr;
    return downstream->Receive(sample);
  }

  // Copy into a buffer of the downstream allocator, then work there.
  zav::ComRef<IMediaSample> out;
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = sample->GetTime(&start, &stop) == S_OK;
  HRESULT hr = outAllocator->GetBuffer(out.receive(), timed ? &start : nullptr, timed ? &stop : nullptr, 0);
  if (FAILED(hr)) return hr;
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  sample->GetPointer(&src);
  out->GetPointer(&dst);
  const long length = std::min(sample->GetActualDataLength(), out->GetSize());
  if (src != nullptr && dst != nullptr && length > 0) std::memcpy(dst, src, static_cast<std::size_t>(length));
  out->SetActualDataLength(length);
  if (timed) out->SetTime(&start, &stop);
  out->SetSyncPoint(sample->IsSyncPoint() == S_OK);
  out->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
  out->SetPreroll(sample->IsPreroll() == S_OK);
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed != nullptr) {
    out->SetMediaType(changed);
    DeleteMediaType(changed);
  }
  hr = Transform(out.get());
  if (SUCCEEDED(hr)) hr = downstream->Receive(out.get());
  return hr;
}

}  // namespace capture::win32
