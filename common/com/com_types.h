// The COM basics that code built for every platform shares: result codes as
// 32-bit signed numbers (success is >= 0), and a GUID of the platform's memory
// layout. On Windows they are the same values and layout as the SDK's.
#pragma once

#include <cstdint>
#include <cstring>

namespace zav::com {

using HResult = std::int32_t;

constexpr HResult kOk = 0;                                                 // S_OK
constexpr HResult kFalse = 1;                                              // S_FALSE
constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);      // E_NOTIMPL
constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);         // E_NOINTERFACE
constexpr HResult kPointer = static_cast<HResult>(0x80004003);             // E_POINTER
constexpr HResult kFail = static_cast<HResult>(0x80004005);                // E_FAIL
constexpr HResult kUnexpected = static_cast<HResult>(0x8000FFFF);          // E_UNEXPECTED
constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);         // E_OUTOFMEMORY
constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057);          // E_INVALIDARG
constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154);  // REGDB_E_CLASSNOTREG

inline bool Succeeded(HResult hr) { return hr >= 0; }
inline bool Failed(HResult hr) { return hr < 0; }

struct Guid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};
static_assert(sizeof(Guid) == 16, "Guid must have the GUID memory layout");

inline bool operator==(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(Guid)) == 0; }
inline bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }

}  // namespace zav::com
