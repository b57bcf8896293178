// The token vendor's component as this library calls it: the two objects and
// their identities, the packed records its operations read and fill, and the
// order of the operations in the two interfaces.
#pragma once

#include <cstddef>
#include <cstdint>

#include "token/component_abi.h"

#ifdef _WIN32
// windows.h maps these to CreateFileA/DeleteFileA; here they are component operations.
#undef CreateFile
#undef DeleteFile
#endif

namespace qtok {

// Token object, held in qTokAPI.handle.
inline constexpr GUID kTokenClassId = {
    0x47B3B650, 0xCAE5, 0x11D3, {0x8D, 0x09, 0x00, 0xA0, 0xC9, 0x9F, 0xF6, 0x2A}};
inline constexpr GUID kTokenInterfaceId = {
    0x47B3B64F, 0xCAE5, 0x11D3, {0x8D, 0x09, 0x00, 0xA0, 0xC9, 0x9F, 0xF6, 0x2A}};
// Hash object, held in qTokAPI.hash.
inline constexpr GUID kHashClassId = {
    0x3D5A26E5, 0xFAC1, 0x11D3, {0x8D, 0x1E, 0x00, 0xA0, 0xC9, 0x9F, 0xF6, 0x2A}};
inline constexpr GUID kHashInterfaceId = {
    0x3D5A26E4, 0xFAC1, 0x11D3, {0x8D, 0x1E, 0x00, 0xA0, 0xC9, 0x9F, 0xF6, 0x2A}};

// Records exchanged with the token object: packed, integers little-endian. Each
// is described once, field by field in order, as X(R, I, name) for a 32-bit
// integer or X(R, B, name) for a byte (R: the record the list is expanded for);
// the structs here and the field tables that copy them to and from the Java
// objects (records.cpp) are made from these lists.
// clang-format off
#define QTOK_FILE_INFO(X, R)                                                              \
  X(R, I, lId) X(R, I, lFlags) X(R, I, lFileSize) X(R, B, chFileType)                     \
  X(R, B, chReadAccess) X(R, B, chWriteAccess) X(R, B, chCryptAccess) X(R, I, lReserved1) \
  X(R, I, lReserved2) X(R, I, lReserved3) X(R, B, chGrantedAccess) X(R, B, chReserved1)   \
  X(R, B, chReserved2) X(R, B, chReserved3) X(R, I, lReserved4) X(R, I, lReserved5)       \
  X(R, I, lReserved6)
#define QTOK_DIR_INFO(X, R)                                                       \
  X(R, I, lId) X(R, I, lFlags) X(R, I, lMaxSize) X(R, I, lMaxEntries)             \
  X(R, I, lReserved1) X(R, I, lReserved2) X(R, I, lReserved3) X(R, I, lReserved4) \
  X(R, I, lReserved5) X(R, I, lReserved6) X(R, I, lReserved7) X(R, I, lReserved8)
// There is no chReserved1: offset 3 is chReserved2.
#define QTOK_ACCESS_INFO(X, R)                                                              \
  X(R, B, chMaxPinRetries) X(R, B, chCurPinCounter) X(R, B, chFlags) X(R, B, chReserved2)   \
  X(R, B, chCreateAccess) X(R, B, chDeleteAccess) X(R, B, chReserved3) X(R, B, chReserved4) \
  X(R, B, chReserved5) X(R, B, chReserved6) X(R, B, chReserved7) X(R, B, chReserved8)       \
  X(R, B, chReserved9) X(R, B, chReserved10) X(R, B, chReserved11) X(R, B, chReserved12)
#define QTOK_SYS_INFO(X, R)                                                                \
  X(R, I, lFlags) X(R, I, lFreeSpace) X(R, I, lReserved1) X(R, I, lReserved2)              \
  X(R, B, chFileSysType) X(R, B, chMaxDirLevels) X(R, B, chReserved1) X(R, B, chReserved2) \
  X(R, I, lReserved3) X(R, I, lReserved4) X(R, I, lReserved5)
#define QTOK_VERSION_INFO(X, R)                                                                      \
  X(R, I, lDriverVersion) X(R, B, chFwVersionMajor) X(R, B, chFwVersionMinor) X(R, B, chProductCode) \
  X(R, B, chConfiguration)
// clang-format on

#define QTOK_FIELD_TYPE_I std::int32_t
#define QTOK_FIELD_TYPE_B std::uint8_t
#define QTOK_MEMBER(record, type, name) QTOK_FIELD_TYPE_##type name;
#pragma pack(push, 1)
struct FileInfo {
  QTOK_FILE_INFO(QTOK_MEMBER, FileInfo)
};
struct DirInfo {
  QTOK_DIR_INFO(QTOK_MEMBER, DirInfo)
};
struct AccessInfo {
  QTOK_ACCESS_INFO(QTOK_MEMBER, AccessInfo)
};
struct SysInfo {
  QTOK_SYS_INFO(QTOK_MEMBER, SysInfo)
};
struct VersionInfo {
  QTOK_VERSION_INFO(QTOK_MEMBER, VersionInfo)
};
#pragma pack(pop)
#undef QTOK_MEMBER
#undef QTOK_FIELD_TYPE_I
#undef QTOK_FIELD_TYPE_B

static_assert(sizeof(FileInfo) == 44 && offsetof(FileInfo, chGrantedAccess) == 28);
static_assert(sizeof(DirInfo) == 48);
static_assert(sizeof(AccessInfo) == 16 && offsetof(AccessInfo, chReserved2) == 3);
static_assert(sizeof(SysInfo) == 32 && offsetof(SysInfo, lReserved3) == 20);
static_assert(sizeof(VersionInfo) == 8);

using Bytes = std::uint8_t*;
using Ints = std::int32_t*;

// Slots 0-2 are IUnknown's; 3-6 belong to the component and are never called here.
struct ITokenApi : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused6() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLibVersion(Ints version) = 0;     // 7
  virtual HRESULT STDMETHODCALLTYPE GetDriverVersion(Ints version) = 0;  // 8
  virtual HRESULT STDMETHODCALLTYPE CreateContext(std::int32_t, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteContext() = 0;  // 10
  virtual HRESULT STDMETHODCALLTYPE OpenDevice(std::int32_t, Bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE CloseDevice() = 0;
  virtual HRESULT STDMETHODCALLTYPE Verify(std::int32_t, Bytes, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE ChangeCode(std::int32_t, Bytes, std::int32_t, Bytes, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetSecurityState(std::int32_t) = 0;  // 15
  virtual HRESULT STDMETHODCALLTYPE HashToken(std::int32_t, std::int32_t, Bytes, std::int32_t, Bytes,
                                              std::int32_t, Ints) = 0;
  virtual HRESULT STDMETHODCALLTYPE MD5HMAC(std::int32_t, std::int32_t, Bytes, std::int32_t,
                                            Bytes digest) = 0;
  virtual HRESULT STDMETHODCALLTYPE MD5CHAP(std::int32_t, std::int32_t, Bytes, std::int32_t, Bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GenRandom(std::int32_t, Bytes, Bytes, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE Cleanup(std::int32_t) = 0;  // 20
  virtual HRESULT STDMETHODCALLTYPE GetAccessInfo(std::int32_t, AccessInfo*) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAccessInfo(std::int32_t, AccessInfo*) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVersionInfo(VersionInfo*) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSysInfo(SysInfo*) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFileInfo(std::int32_t, std::int32_t, Bytes,
                                                FileInfo*) = 0;  // 25
  virtual HRESULT STDMETHODCALLTYPE GetProperty(std::int32_t, Bytes, Bytes, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetProperty(std::int32_t, Bytes, Bytes, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE ChangeDir(std::int32_t, std::int32_t, Bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentDir(std::int32_t, Ints, std::int32_t, Ints) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateDir(std::int32_t, Bytes, Bytes, DirInfo*) = 0;  // 30
  virtual HRESULT STDMETHODCALLTYPE DeleteDir(std::int32_t, std::int32_t, Bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE Directory(std::int32_t, std::int32_t, FileInfo*) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFile(std::int32_t, FileInfo*) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteFile(std::int32_t, std::int32_t) = 0;
  virtual HRESULT STDMETHODCALLTYPE OpenFile(std::int32_t, std::int32_t, FileInfo*) = 0;  // 35
  virtual HRESULT STDMETHODCALLTYPE CloseFile() = 0;
  virtual HRESULT STDMETHODCALLTYPE Read(std::int32_t, std::int32_t, Bytes, std::int32_t, Ints) = 0;
  virtual HRESULT STDMETHODCALLTYPE Write(std::int32_t, std::int32_t, Bytes, std::int32_t, Ints) = 0;
  virtual HRESULT STDMETHODCALLTYPE Decrement(std::int32_t, std::int32_t) = 0;  // 39
};

struct IHashApi : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Unused3() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused4() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused5() = 0;
  virtual HRESULT STDMETHODCALLTYPE Unused6() = 0;
  virtual HRESULT STDMETHODCALLTYPE SMD5Hash(Bytes, std::int32_t, Bytes) = 0;  // 7
  virtual HRESULT STDMETHODCALLTYPE SMD5HMAC(Bytes, std::int32_t, Bytes, std::int32_t, Bytes, Bytes,
                                             Bytes digest) = 0;
  virtual HRESULT STDMETHODCALLTYPE SMD5CHAP(std::int32_t, Bytes, std::int32_t, Bytes, std::int32_t,
                                             Bytes) = 0;
  virtual HRESULT STDMETHODCALLTYPE SMD5XOR(Bytes, std::int32_t, Bytes, std::int32_t,
                                            Bytes) = 0;  // 10
};

}  // namespace qtok
