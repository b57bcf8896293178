// COM's object creation where there is no COM: the component is a shared library
// named by QTOK_COMPONENT_LIBRARY that exports DllGetClassObject, as an in-process
// server does. Apartments do not exist here, so initialising is a no-op.
#include <dlfcn.h>

#include <cstdlib>

#include "com_ref.h"
#include "component_abi.h"

namespace qtok {

HRESULT CoInitialize(void*) { return 0; }

void CoUninitialize() {}

HRESULT CoCreateInstance(const GUID& clsid, IUnknown* outer, DWORD context, const GUID& iid, void** object) {
  *object = nullptr;
  // Only in-process servers exist here, as for a class registered only as one.
  if ((context & kInprocServer) == 0) return kClassNotRegistered;
  const char* path = std::getenv(kComponentLibraryVariable);
  if (path == nullptr || *path == '\0') return kClassNotRegistered;
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return kModuleNotFound;
  auto get_class_object = reinterpret_cast<DllGetClassObjectFunction>(dlsym(library, "DllGetClassObject"));
  if (get_class_object == nullptr) {
    dlclose(library);
    return kErrorInDll;
  }
  zav::ComRef<IClassFactory> factory;
  HRESULT hr = get_class_object(clsid, IID_IClassFactory, factory.receiveVoid());
  if (Failed(hr) || !factory) {
    dlclose(library);
    return Failed(hr) ? hr : kErrorInDll;
  }
  hr = factory->CreateInstance(outer, iid, object);
  factory.reset();
  if (Failed(hr)) *object = nullptr;
  // The library stays loaded (each dlopen only counts up): the objects it hands
  // out may live as long as the process.
  return hr;
}

}  // namespace qtok
