// The component through COM: a single-threaded apartment on the library's own
// thread, objects made by CoCreateInstance as in-process servers, and the
// component's IErrorInfo description of a failure where it supports one.
#include "token/component_host.h"

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <new>

#include "common/com/com_ref.h"
#include "common/win32/scoped_handles.h"

namespace qtok {

namespace {

using ScopedBstr = zav::win32::ScopedHandle<zav::win32::NullIsNone<BSTR, &SysFreeString>>;
using ScopedLocalText = zav::win32::ScopedHandle<zav::win32::NullIsNone<HLOCAL, &LocalFree>>;

// The system's text for hr (in the user's language), where it has one.
void AppendSystemText(HRESULT hr, Text& reason) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  ScopedLocalText owned(text);
  if (text != nullptr && length > 0)
    reason.Append(": ").AppendUtf16(reinterpret_cast<const char16_t*>(text), length);
}

// The SDK's GUID has the layout of common/com's.
const zav::com::Guid& Id(const GUID& guid) {
  static_assert(sizeof(GUID) == sizeof(zav::com::Guid));
  return *reinterpret_cast<const zav::com::Guid*>(&guid);
}

}  // namespace

HRESULT EnterApartment() { return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

void LeaveApartment() { CoUninitialize(); }

struct WorkSignal::State {
  zav::win32::ScopedKernelHandle event;
};

WorkSignal::WorkSignal() : state_(nullptr) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (event == nullptr) return;
  state_ = new (std::nothrow) State{zav::win32::ScopedKernelHandle(event)};
}

WorkSignal::~WorkSignal() { delete state_; }

void WorkSignal::Raise() { SetEvent(state_->event.get()); }

void WorkSignal::Wait() {
  HANDLE event = state_->event.get();
  for (;;) {
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) return;
    if (woke == WAIT_FAILED) {
      // Without a wait that works, fall back to a plain one rather than spin.
      WaitForSingleObject(event, INFINITE);
      return;
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

HRESULT CreateComponentObject(const GUID& clsid, const GUID& iid, void** object, Text& reason) {
  *object = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
  if (SUCCEEDED(hr)) return hr;
  *object = nullptr;
  reason.Append("creating ").AppendGuid(Id(clsid));
  if (hr == REGDB_E_CLASSNOTREG) {
    reason.Append(": the class is not registered as an in-process server");
  } else {
    AppendSystemText(hr, reason);
  }
  return hr;
}

void DescribeComponentFailure(IUnknown* object, const GUID& iid, Text& reason) {
  zav::ComRef<ISupportErrorInfo> support;
  if (FAILED(object->QueryInterface(IID_ISupportErrorInfo, support.receiveVoid())) || !support) return;
  if (support->InterfaceSupportsErrorInfo(iid) != S_OK) return;
  zav::ComRef<IErrorInfo> info;
  if (GetErrorInfo(0, info.receive()) != S_OK || !info) return;
  BSTR description = nullptr;
  if (FAILED(info->GetDescription(&description))) return;
  ScopedBstr owned(description);
  if (description != nullptr && SysStringLen(description) > 0) {
    reason.AppendUtf16(reinterpret_cast<const char16_t*>(description), SysStringLen(description));
  }
}

}  // namespace qtok
