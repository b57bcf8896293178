// An in-place transform filter base: one filter with an input pin "Input" and an
// output pin "Output" that passes every sample downstream after the derived
// class has worked on it in place. The output pin offers the input's connection
// type only, so both connections carry the same type. Samples travel in the
// upstream allocator when the downstream pin accepts it (allocator pass-through);
// otherwise each sample is copied into a buffer of the downstream allocator and
// transformed there.
//
// The pins share the filter's reference count. A derived class overrides
// CheckInputType, SetMediaType and Transform (and its destructor).
#pragma once

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <mutex>
#include <string>

#include "common/win32/com_object.h"
#include "common/com/com_ref.h"

namespace capture::win32 {

class TransInPlaceFilter;

// The parts both pins share: identity, connection, direction.
class BasePin : public IPin {
 public:
  BasePin(TransInPlaceFilter* filter, const wchar_t* name, PIN_DIRECTION direction);
  virtual ~BasePin();
  BasePin(const BasePin&) = delete;
  BasePin& operator=(const BasePin&) = delete;

  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;

  bool IsConnected() const { return static_cast<bool>(peer_); }
  IPin* peer() const { return peer_.get(); }
  const AM_MEDIA_TYPE& connectionType() const { return type_; }
  const std::wstring& name() const { return name_; }

 protected:
  // Drops the peer and the connection type; the pin's own resources go in OnDisconnect.
  virtual void OnDisconnect() {}
  void ClearConnection();

  TransInPlaceFilter* const filter_;
  const std::wstring name_;
  const PIN_DIRECTION direction_;
  zav::ComRef<IPin> peer_;
  AM_MEDIA_TYPE type_{};
};

class TransInPlaceInputPin final : public BasePin, public IMemInputPin {
 public:
  explicit TransInPlaceInputPin(TransInPlaceFilter* filter);
  ~TransInPlaceInputPin() override;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override { return BasePin::AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return BasePin::Release(); }

  // IPin
  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // IMemInputPin
  STDMETHODIMP GetAllocator(IMemAllocator** allocator) override;
  STDMETHODIMP NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  STDMETHODIMP Receive(IMediaSample* sample) override;
  STDMETHODIMP ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
  STDMETHODIMP ReceiveCanBlock() override;

  IMemAllocator* allocator() const { return allocator_.get(); }
  bool readOnly() const { return readOnly_; }
  bool flushing() const { return flushing_; }

 private:
  void OnDisconnect() override;

  zav::ComRef<IMemAllocator> allocator_;
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
};

class TransInPlaceOutputPin final : public BasePin {
 public:
  explicit TransInPlaceOutputPin(TransInPlaceFilter* filter);
  ~TransInPlaceOutputPin() override;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;

  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  IMemInputPin* downstream() const { return downstream_.get(); }
  IMemAllocator* allocator() const { return allocator_.get(); }

 private:
  void OnDisconnect() override;
  HRESULT DecideAllocator(IPin* receivePin);

  zav::ComRef<IMemInputPin> downstream_;
  zav::ComRef<IMemAllocator> allocator_;
};

class TransInPlaceFilter : public zav::win32::DualComObject<IBaseFilter, IAMovieSetup, IID_IAMovieSetup,
                                                            IID_IPersist, IID_IMediaFilter, IID_IBaseFilter> {
 public:
  // `hr` receives the construction result (left alone on success, as the
  // caller initialises it). The object starts with no reference: a derived
  // class or its maker takes the first one.
  TransInPlaceFilter(const wchar_t* objectName, IUnknown* outer, REFCLSID classId, HRESULT* hr,
                     bool modifiesData);
  virtual ~TransInPlaceFilter();
  TransInPlaceFilter(const TransInPlaceFilter&) = delete;
  TransInPlaceFilter& operator=(const TransInPlaceFilter&) = delete;

  // IPersist
  STDMETHODIMP GetClassID(CLSID* classId) override;
  // IMediaFilter
  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;
  // IAMovieSetup: a filter without registration data of its own has nothing to
  // register (S_FALSE), as it is created directly rather than through the mapper.
  STDMETHODIMP Register() override;
  STDMETHODIMP Unregister() override;

  // What a derived filter decides.
  virtual HRESULT CheckInputType(const AM_MEDIA_TYPE* type) = 0;
  // A pin's connection type was set.
  virtual HRESULT SetMediaType(PIN_DIRECTION direction, const AM_MEDIA_TYPE* type);
  // One sample, in place, on the streaming thread.
  virtual HRESULT Transform(IMediaSample* sample) = 0;

  FILTER_STATE state() const { return state_; }
  TransInPlaceInputPin* input() { return &input_; }
  TransInPlaceOutputPin* output() { return &output_; }
  bool modifiesData() const { return modifiesData_; }
  std::recursive_mutex& filterLock() { return lock_; }

  // The input pin's sample path: transform and deliver downstream.
  HRESULT ReceiveSample(IMediaSample* sample);

 private:
  const std::wstring objectName_;
  const CLSID classId_;
  const bool modifiesData_;
  std::recursive_mutex lock_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  zav::ComRef<IReferenceClock> clock_;
  IFilterGraph* graph_ = nullptr;  // not counted: the graph owns us
  std::wstring graphName_;
  REFERENCE_TIME start_ = 0;
  TransInPlaceInputPin input_;
  TransInPlaceOutputPin output_;
};

}  // namespace capture::win32
