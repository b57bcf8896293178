// The few COM basics the token binding needs, on Windows from the platform and
// elsewhere with the same binary shape: a GUID and the result codes (common/com),
// IUnknown and a class factory.
//
// Where COM is absent, an in-process component is a shared library named by the
// environment variable QTOK_COMPONENT_LIBRARY. Like a COM in-process server it
// exports DllGetClassObject, which hands out a class factory per class identifier.
#pragma once

#include <cstdint>

#include "common/com/com_types.h"

#ifdef _WIN32

#include <objbase.h>
#include <unknwn.h>

#else

using HRESULT = zav::com::HResult;
using ULONG = std::uint32_t;

#define STDMETHODCALLTYPE

using GUID = zav::com::Guid;

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IClassFactory : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, const GUID& iid, void** object) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(int lock) = 0;
};

// {00000001-0000-0000-C000-000000000046}
inline constexpr GUID IID_IClassFactory = {
    0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// What a component library exports, by this name.
using DllGetClassObjectFunction = HRESULT (*)(const GUID& clsid, const GUID& iid, void** object);

namespace qtok {

inline constexpr const char kComponentLibraryVariable[] = "QTOK_COMPONENT_LIBRARY";

}  // namespace qtok

#endif

namespace qtok {

// Result codes this library produces itself or that its component host returns.
inline constexpr HRESULT kNoObject = static_cast<HRESULT>(0x80105001u);
inline constexpr HRESULT kModuleNotFound = static_cast<HRESULT>(0x8007007Eu);  // ERROR_MOD_NOT_FOUND
inline constexpr HRESULT kErrorInDll = static_cast<HRESULT>(0x800401F9u);      // CO_E_ERRORINDLL
using zav::com::Failed;
using zav::com::kClassNotRegistered;
using zav::com::kInvalidArg;
using zav::com::kOutOfMemory;
using zav::com::kPointer;
using zav::com::kUnexpected;

}  // namespace qtok
