// The pins of the in-place transform base: what they share, the input pin that
// takes the upstream allocator and samples, the output pin that hands both on.
#include "capture/win32/transform_base.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <dvdmedia.h>

#include "common/win32/com_object.h"
#include "capture/win32/dshow_util.h"

namespace capture::win32 {

// ------------------------------------------------------------------ BasePin

BasePin::BasePin(TransInPlaceFilter* filter, const wchar_t* name, PIN_DIRECTION direction)
    : filter_(filter), name_(name), direction_(direction) {}

BasePin::~BasePin() { FreeMediaType(type_); }

ULONG BasePin::AddRef() { return filter_->AddRef(); }
ULONG BasePin::Release() { return filter_->Release(); }

void BasePin::ClearConnection() {
  peer_.reset();
  FreeMediaType(type_);
}

HRESULT BasePin::Disconnect() {
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  if (filter_->state() != State_Stopped) {
    return VFW_E_NOT_STOPPED;
  }
  if (!peer_) {
    return S_FALSE;
  }
  OnDisconnect();
  ClearConnection();
  return S_OK;
}

HRESULT BasePin::ConnectedTo(IPin** pin) {
  if (pin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  *pin = zav::ComRef<IPin>(peer_).detach();
  if (*pin == nullptr) return VFW_E_NOT_CONNECTED;
  return S_OK;
}

HRESULT BasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  return CopyConnectionType(type, static_cast<bool>(peer_), type_);
}

HRESULT BasePin::QueryPinInfo(PIN_INFO* info) {
  return FillPinInfo(info, filter_, direction_, name_.c_str());
}

HRESULT BasePin::QueryDirection(PIN_DIRECTION* direction) {
  if (direction == nullptr) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT BasePin::QueryId(LPWSTR* id) { return CoTaskStrDup(name_.c_str(), id); }

HRESULT BasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

// ------------------------------------------------------------------ input pin

TransInPlaceInputPin::TransInPlaceInputPin(TransInPlaceFilter* filter)
    : BasePin(filter, L"Input", PINDIR_INPUT) {}

TransInPlaceInputPin::~TransInPlaceInputPin() {
  OnDisconnect();
  ClearConnection();
}

HRESULT TransInPlaceInputPin::QueryInterface(REFIID iid, void** out) {
  return zav::win32::QueryEither<IPin, IMemInputPin>(this, iid, out, {&IID_IPin}, IID_IMemInputPin);
}

void TransInPlaceInputPin::OnDisconnect() {
  allocator_.reset();
  readOnly_ = false;
}

HRESULT TransInPlaceInputPin::Connect(IPin*, const AM_MEDIA_TYPE*) {
  // Connections are made from the output side.
  return E_UNEXPECTED;
}

HRESULT TransInPlaceInputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (connector == nullptr || type == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION peerDirection;
  if (FAILED(connector->QueryDirection(&peerDirection)) || peerDirection != PINDIR_OUTPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  if (FAILED(filter_->CheckInputType(type))) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = CopyMediaType(&type_, type);
  if (FAILED(hr)) return hr;
  hr = filter_->SetMediaType(PINDIR_INPUT, &type_);
  if (FAILED(hr)) {
    FreeMediaType(type_);
    return hr;
  }
  peer_ = zav::ComRef<IPin>::Share(connector);
  return S_OK;
}

HRESULT TransInPlaceInputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  return SUCCEEDED(filter_->CheckInputType(type)) ? S_OK : S_FALSE;
}

HRESULT TransInPlaceInputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  // The input takes what upstream offers; it proposes nothing of its own.
  return CreateMediaTypeEnum(nullptr, 0, types);
}

HRESULT TransInPlaceInputPin::EndOfStream() {
  IPin* next = filter_->output()->peer();
  return next != nullptr ? next->EndOfStream() : S_OK;
}

HRESULT TransInPlaceInputPin::BeginFlush() {
  flushing_ = true;
  IPin* next = filter_->output()->peer();
  return next != nullptr ? next->BeginFlush() : S_OK;
}

HRESULT TransInPlaceInputPin::EndFlush() {
  flushing_ = false;
  IPin* next = filter_->output()->peer();
  return next != nullptr ? next->EndFlush() : S_OK;
}

HRESULT TransInPlaceInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  IPin* next = filter_->output()->peer();
  return next != nullptr ? next->NewSegment(start, stop, rate) : S_OK;
}

HRESULT TransInPlaceInputPin::GetAllocator(IMemAllocator** allocator) {
  if (allocator == nullptr) return E_POINTER;
  *allocator = nullptr;
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  // Pass-through: the downstream allocator when there is one to offer.
  if (IMemInputPin* downstream = filter_->output()->downstream()) {
    if (SUCCEEDED(downstream->GetAllocator(allocator))) return S_OK;
  }
  if (!allocator_) {
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  allocator_.receiveVoid());
    if (FAILED(hr)) return hr;
  }
  *allocator = zav::ComRef<IMemAllocator>(allocator_).detach();
  return S_OK;
}

HRESULT TransInPlaceInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (allocator == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  // Frames are changed in place: a read-only allocator is only usable when the
  // output copies into its own buffers, which the sample path decides.
  allocator_ = zav::ComRef<IMemAllocator>::Share(allocator);
  readOnly_ = readOnly != FALSE;
  return S_OK;
}

HRESULT TransInPlaceInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  if (props == nullptr) return E_POINTER;
  if (IMemInputPin* downstream = filter_->output()->downstream()) {
    return downstream->GetAllocatorRequirements(props);
  }
  return E_NOTIMPL;
}

HRESULT TransInPlaceInputPin::Receive(IMediaSample* sample) {
  if (sample == nullptr) return E_POINTER;
  return filter_->ReceiveSample(sample);
}

HRESULT TransInPlaceInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (samples == nullptr || processed == nullptr) return E_POINTER;
  *processed = 0;
  HRESULT hr = S_OK;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT TransInPlaceInputPin::ReceiveCanBlock() {
  if (IMemInputPin* downstream = filter_->output()->downstream()) {
    return downstream->ReceiveCanBlock();
  }
  return S_FALSE;
}

// ------------------------------------------------------------------ output pin

TransInPlaceOutputPin::TransInPlaceOutputPin(TransInPlaceFilter* filter)
    : BasePin(filter, L"Output", PINDIR_OUTPUT) {}

TransInPlaceOutputPin::~TransInPlaceOutputPin() {
  OnDisconnect();
  ClearConnection();
}

HRESULT TransInPlaceOutputPin::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    *out = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

void TransInPlaceOutputPin::OnDisconnect() {
  allocator_.reset();
  downstream_.reset();
}

HRESULT TransInPlaceOutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
  if (receivePin == nullptr) return E_POINTER;
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  TransInPlaceInputPin* input = filter_->input();
  if (!input->IsConnected()) return VFW_E_NOT_CONNECTED;
  // Both sides of an in-place filter carry the same type: the input's.
  const AM_MEDIA_TYPE& offered = input->connectionType();
  if (type != nullptr && !MatchesPartialType(offered, *type)) return VFW_E_NO_ACCEPTABLE_TYPES;

  PIN_DIRECTION peerDirection;
  if (FAILED(receivePin->QueryDirection(&peerDirection)) || peerDirection != PINDIR_INPUT) {
    return VFW_E_INVALID_DIRECTION;
  }
  zav::ComRef<IMemInputPin> memInput;
  if (FAILED(receivePin->QueryInterface(IID_IMemInputPin, memInput.receiveVoid()))) {
    return VFW_E_NO_TRANSPORT;
  }
  HRESULT hr = receivePin->ReceiveConnection(this, &offered);
  if (FAILED(hr)) return VFW_E_NO_ACCEPTABLE_TYPES;
  hr = CopyMediaType(&type_, &offered);
  if (SUCCEEDED(hr)) hr = filter_->SetMediaType(PINDIR_OUTPUT, &type_);
  if (SUCCEEDED(hr)) {
    peer_ = zav::ComRef<IPin>::Share(receivePin);
    downstream_ = std::move(memInput);
    hr = DecideAllocator(receivePin);
  }
  if (FAILED(hr)) {
    OnDisconnect();
    ClearConnection();
    receivePin->Disconnect();
    return hr;
  }
  return S_OK;
}

HRESULT TransInPlaceOutputPin::DecideAllocator(IPin*) {
  TransInPlaceInputPin* input = filter_->input();
  // Pass-through first: downstream works in the buffers upstream fills.
  if (IMemAllocator* upstream = input->allocator()) {
    if (!input->readOnly() || !filter_->modifiesData()) {
      if (SUCCEEDED(downstream_->NotifyAllocator(upstream, FALSE))) {
        allocator_ = zav::ComRef<IMemAllocator>::Share(upstream);
        return S_OK;
      }
    }
  }
  // Otherwise our output fills buffers of its own allocator, copies of the input.
  ALLOCATOR_PROPERTIES wanted{};
  if (FAILED(downstream_->GetAllocatorRequirements(&wanted))) std::memset(&wanted, 0, sizeof wanted);
  zav::ComRef<IMemAllocator> allocator;
  if (FAILED(downstream_->GetAllocator(allocator.receive()))) {
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                  allocator.receiveVoid());
    if (FAILED(hr)) return hr;
  }
  ALLOCATOR_PROPERTIES props = wanted;
  if (props.cBuffers < 1) props.cBuffers = 1;
  if (props.cbAlign < 1) props.cbAlign = 1;
  long size = static_cast<long>(type_.lSampleSize);
  if (type_.formattype == FORMAT_VideoInfo && type_.cbFormat >= sizeof(VIDEOINFOHEADER)) {
    size = std::max<long>(
        size, static_cast<long>(reinterpret_cast<VIDEOINFOHEADER*>(type_.pbFormat)->bmiHeader.biSizeImage));
  } else if (type_.formattype == FORMAT_VideoInfo2 && type_.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    size = std::max<long>(
        size, static_cast<long>(reinterpret_cast<VIDEOINFOHEADER2*>(type_.pbFormat)->bmiHeader.biSizeImage));
  }
  if (IMemAllocator* upstream = input->allocator()) {
    ALLOCATOR_PROPERTIES upstreamProps{};
    if (SUCCEEDED(upstream->GetProperties(&upstreamProps))) size = std::max(size, upstreamProps.cbBuffer);
  }
  props.cbBuffer = std::max(props.cbBuffer, size);
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(&props, &actual);
  if (SUCCEEDED(hr)) hr = downstream_->NotifyAllocator(allocator.get(), FALSE);
  if (FAILED(hr)) return hr;
  allocator_ = std::move(allocator);
  return S_OK;
}

HRESULT TransInPlaceOutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) { return E_UNEXPECTED; }

HRESULT TransInPlaceOutputPin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  TransInPlaceInputPin* input = filter_->input();
  if (!input->IsConnected()) return S_FALSE;
  const AM_MEDIA_TYPE& current = input->connectionType();
  return type->majortype == current.majortype && type->subtype == current.subtype &&
                 type->formattype == current.formattype
             ? S_OK
             : S_FALSE;
}

HRESULT TransInPlaceOutputPin::EnumMediaTypes(IEnumMediaTypes** types) {
  std::lock_guard<std::recursive_mutex> lock(filter_->filterLock());
  TransInPlaceInputPin* input = filter_->input();
  if (!input->IsConnected()) return CreateMediaTypeEnum(nullptr, 0, types);
  return CreateMediaTypeEnum(&input->connectionType(), 1, types);
}

HRESULT TransInPlaceOutputPin::EndOfStream() { return E_UNEXPECTED; }
HRESULT TransInPlaceOutputPin::BeginFlush() { return E_UNEXPECTED; }
HRESULT TransInPlaceOutputPin::EndFlush() { return E_UNEXPECTED; }
HRESULT TransInPlaceOutputPin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return E_UNEXPECTED; }

}  // namespace capture::win32
