// Small DirectShow helpers shared by our filters: media type copies, the two
// enumerators every filter and pin hands out, and pin and filter information.
#pragma once

#include <windows.h>
#include <dshow.h>

namespace capture::win32 {

// Deep copy of a media type into *dst (format block allocated with CoTaskMemAlloc,
// pUnk AddRef'ed). *dst is zeroed first; E_OUTOFMEMORY leaves it zeroed.
HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// Frees what a media type owns (format block, pUnk) and zeroes it.
void FreeMediaType(AM_MEDIA_TYPE& type);
// A new CoTaskMemAlloc'ed deep copy, or null.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src);
// Frees a media type made by CreateMediaType / handed out by a pin; null is ignored.
void DeleteMediaType(AM_MEDIA_TYPE* type);
// True when `type` fits the partially specified `partial` (GUID_NULL fields match
// anything) .
bool MatchesPartialType(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& partial);

// IEnumPins over a fixed list of pins; each pin is AddRef'ed for the enumerator's life.
HRESULT CreatePinEnum(IPin* const* pins, ULONG count, IEnumPins** out);
// IBaseFilter::FindPin over a fixed list of pins and their names: the pin named
// `id`, AddRef'ed, or VFW_E_NOT_FOUND.
HRESULT FindPinByName(LPCWSTR id, IPin* const* pins, const wchar_t* const* names, ULONG count, IPin** out);

// The same for a filter with one pin.
inline HRESULT CreatePinEnum(IPin* pin, IEnumPins** out) { return CreatePinEnum(&pin, 1, out); }
inline HRESULT FindPinByName(LPCWSTR id, IPin* pin, const wchar_t* name, IPin** out) {
  return FindPinByName(id, &pin, &name, 1, out);
}
// IBaseFilter::QueryFilterInfo: the filter's name in the graph (cut to the
// buffer) and the graph, AddRef'ed for the caller.
HRESULT FillFilterInfo(FILTER_INFO* info, const wchar_t* name, IFilterGraph* graph);

// PIN_INFO of a pin of `filter` (a counted reference for the caller), its name cut
// to what the record holds.
HRESULT FillPinInfo(PIN_INFO* info, IBaseFilter* filter, PIN_DIRECTION direction, const wchar_t* name);

// IPin::ConnectionMediaType: a copy of the connection's type, or an emptied record
// and VFW_E_NOT_CONNECTED.
HRESULT CopyConnectionType(AM_MEDIA_TYPE* out, bool connected, const AM_MEDIA_TYPE& type);
// IEnumMediaTypes over deep copies of `types`.
HRESULT CreateMediaTypeEnum(const AM_MEDIA_TYPE* types, ULONG count, IEnumMediaTypes** out);

// A copy of `text` in CoTaskMemAlloc'ed memory (for QueryId and friends).
HRESULT CoTaskStrDup(const wchar_t* text, LPWSTR* out);

}  // namespace capture::win32
