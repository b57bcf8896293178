// What the platform gives the component's apartment thread: the apartment itself,
// a wait for work that keeps the apartment alive, the creation of the component's
// objects, and what the platform can tell about a failure. On Windows this is COM;
// elsewhere the component is the shared library named by QTOK_COMPONENT_LIBRARY
// (component_abi.h) and there are no apartments.
#pragma once

#include "token/component_abi.h"
#include "token/failure_text.h"

namespace qtok {

// Entered once by the apartment thread before any object is made (Windows: a
// single-threaded apartment, as the vendor registers its classes), left as it ends.
HRESULT EnterApartment();
void LeaveApartment();

// Wakes the apartment thread. Its wait also dispatches the thread's window
// messages, as a single-threaded apartment must.
class WorkSignal {
 public:
  WorkSignal();
  WorkSignal(const WorkSignal&) = delete;
  WorkSignal& operator=(const WorkSignal&) = delete;
  ~WorkSignal();
  // False when the platform could not make the signal.
  bool usable() const { return state_ != nullptr; }
  void Raise();
  // Returns once Raise has been called since the last return.
  void Wait();

 private:
  struct State;
  State* state_;
};

// Creates an in-process object of the component's class `clsid` with interface
// `iid`, on the apartment thread. On failure `reason` says what is missing.
HRESULT CreateComponentObject(const GUID& clsid, const GUID& iid, void** object, Text& reason);

// After a call on `object` (through `iid`) failed: the component's own
// description of the failure, where it gives one, is appended to `reason`.
void DescribeComponentFailure(IUnknown* object, const GUID& iid, Text& reason);

}  // namespace qtok
