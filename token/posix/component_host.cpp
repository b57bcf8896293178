// The component where there is no COM: a shared library named by
// QTOK_COMPONENT_LIBRARY that exports DllGetClassObject, as an in-process server
// does. There are no apartments and no error objects here.
#include "token/component_host.h"

#include <dlfcn.h>

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>

#include "common/com/com_ref.h"

namespace qtok {

HRESULT EnterApartment() { return 0; }

void LeaveApartment() {}

struct WorkSignal::State {
  std::mutex mutex;
  std::condition_variable raised_cv;
  bool raised = false;
};

WorkSignal::WorkSignal() : state_(new (std::nothrow) State) {}

WorkSignal::~WorkSignal() { delete state_; }

void WorkSignal::Raise() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->raised = true;
  state_->raised_cv.notify_one();
}

void WorkSignal::Wait() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->raised_cv.wait(lock, [this] { return state_->raised; });
  state_->raised = false;
}

HRESULT CreateComponentObject(const GUID& clsid, const GUID& iid, void** object, Text& reason) {
  *object = nullptr;
  const char* path = std::getenv(kComponentLibraryVariable);
  if (path == nullptr || *path == '\0') {
    reason.Append(kComponentLibraryVariable).Append(" is not set; it names the component's library");
    return kClassNotRegistered;
  }
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    reason.Append(kComponentLibraryVariable).Append(": ").Append(why != nullptr ? why : path);
    return kModuleNotFound;
  }
  auto get_class_object = reinterpret_cast<DllGetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
  if (get_class_object == nullptr) {
    reason.Append(kComponentLibraryVariable)
        .Append(": ")
        .Append(path)
        .Append(" exports no DllGetClassObject");
    dlclose(library);
    return kErrorInDll;
  }
  zav::ComRef<IClassFactory> factory;
  HRESULT hr = get_class_object(clsid, IID_IClassFactory, factory.receiveVoid());
  if (Failed(hr) || !factory) {
    reason.Append(path).Append(" has no class ").AppendGuid(clsid);
    dlclose(library);
    return Failed(hr) ? hr : kErrorInDll;
  }
  hr = factory->CreateInstance(nullptr, iid, object);
  factory.reset();
  if (Failed(hr)) {
    *object = nullptr;
    reason.Append("creating ").AppendGuid(clsid).Append(" failed");
  }
  // The library stays loaded (each dlopen only counts up): the objects it hands
  // out may live as long as the process.
  return hr;
}

void DescribeComponentFailure(IUnknown*, const GUID&, Text&) {}

}  // namespace qtok
