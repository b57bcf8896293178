#include "win32/dshow_util.h"

#include "com_object.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

namespace capture::win32 {

HRESULT CopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  std::memset(dst, 0, sizeof *dst);
  if (src == nullptr) {
    return E_POINTER;
  }
  *dst = *src;
  dst->pbFormat = nullptr;
  dst->cbFormat = 0;
  if (src->cbFormat != 0 && src->pbFormat != nullptr) {
    dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
    if (dst->pbFormat == nullptr) {
      std::memset(dst, 0, sizeof *dst);
      return E_OUTOFMEMORY;
    }
    std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
    dst->cbFormat = src->cbFormat;
  }
  if (dst->pUnk != nullptr) {
    dst->pUnk->AddRef();
  }
  return S_OK;
}

void FreeMediaType(AM_MEDIA_TYPE& type) {
  if (type.pbFormat != nullptr) {
    CoTaskMemFree(type.pbFormat);
  }
  if (type.pUnk != nullptr) {
    type.pUnk->Release();
  }
  std::memset(&type, 0, sizeof type);
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src) {
  auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (type == nullptr) {
    return nullptr;
  }
  if (FAILED(CopyMediaType(type, src))) {
    CoTaskMemFree(type);
    return nullptr;
  }
  return type;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
  if (type == nullptr) {
    return;
  }
  FreeMediaType(*type);
  CoTaskMemFree(type);
}

bool MatchesPartialType(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE& partial) {
  if (partial.majortype != GUID_NULL && partial.majortype != type.majortype) return false;
  if (partial.subtype != GUID_NULL && partial.subtype != type.subtype) return false;
  if (partial.formattype != GUID_NULL) {
    if (partial.formattype != type.formattype) return false;
    if (partial.cbFormat != 0) {
      if (partial.cbFormat != type.cbFormat) return false;
      if (std::memcmp(partial.pbFormat, type.pbFormat, type.cbFormat) != 0) return false;
    }
  }
  return true;
}

HRESULT CoTaskStrDup(const wchar_t* text, LPWSTR* out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (*out == nullptr) {
    return E_OUTOFMEMORY;
  }
  std::memcpy(*out, text, bytes);
  return S_OK;
}

namespace {

class PinEnum final : public zav::win32::ComObject<IEnumPins, IID_IEnumPins> {
 public:
  PinEnum(const std::vector<IPin*>& pins, ULONG position) : pins_(pins), position_(position) {
    for (IPin* pin : pins_) pin->AddRef();
  }
  ~PinEnum() override {
    for (IPin* pin : pins_) pin->Release();
  }
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override {
    if (pins == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < pins_.size()) {
      pins[n] = pins_[position_++];
      pins[n]->AddRef();
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > pins_.size() - position_) {
      position_ = static_cast<ULONG>(pins_.size());
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumPins** out) override {
    if (out == nullptr) return E_POINTER;
    *out = new (std::nothrow) PinEnum(pins_, position_);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::vector<IPin*> pins_;
  ULONG position_;
};

class MediaTypeEnum final : public zav::win32::ComObject<IEnumMediaTypes, IID_IEnumMediaTypes> {
 public:
  MediaTypeEnum() = default;
  ~MediaTypeEnum() override {
    for (AM_MEDIA_TYPE& type : types_) FreeMediaType(type);
  }
  bool Add(const AM_MEDIA_TYPE& type) {
    AM_MEDIA_TYPE copy;
    if (FAILED(CopyMediaType(&copy, &type))) return false;
    types_.push_back(copy);
    return true;
  }
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    if (types == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < types_.size()) {
      types[n] = CreateMediaType(&types_[position_]);
      if (types[n] == nullptr) break;
      ++position_;
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > types_.size() - position_) {
      position_ = static_cast<ULONG>(types_.size());
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(IEnumMediaTypes** out) override {
    if (out == nullptr) return E_POINTER;
    auto* copy = new (std::nothrow) MediaTypeEnum();
    if (copy == nullptr) return E_OUTOFMEMORY;
    for (const AM_MEDIA_TYPE& type : types_) {
      if (!copy->Add(type)) {
        copy->Release();
        return E_OUTOFMEMORY;
      }
    }
    copy->position_ = position_;
    *out = copy;
    return S_OK;
  }

 private:
  std::vector<AM_MEDIA_TYPE> types_;
  ULONG position_ = 0;
};

}  // namespace

HRESULT CreatePinEnum(IPin* const* pins, ULONG count, IEnumPins** out) {
  if (out == nullptr) return E_POINTER;
  *out = new (std::nothrow) PinEnum(std::vector<IPin*>(pins, pins + count), 0);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT FindPinByName(LPCWSTR id, IPin* const* pins, const wchar_t* const* names, ULONG count, IPin** out) {
  if (id == nullptr || out == nullptr) return E_POINTER;
  for (ULONG i = 0; i < count; ++i) {
    if (std::wcscmp(id, names[i]) == 0) {
      *out = pins[i];
      pins[i]->AddRef();
      return S_OK;
    }
  }
  *out = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT FillFilterInfo(FILTER_INFO* info, const wchar_t* name, IFilterGraph* graph) {
  if (info == nullptr) return E_POINTER;
  const std::size_t n = std::min<std::size_t>(std::wcslen(name), MAX_FILTER_NAME - 1);
  std::memcpy(info->achName, name, n * sizeof(wchar_t));
  info->achName[n] = L'\0';
  info->pGraph = graph;
  if (graph != nullptr) graph->AddRef();
  return S_OK;
}

HRESULT CreateMediaTypeEnum(const AM_MEDIA_TYPE* types, ULONG count, IEnumMediaTypes** out) {
  if (out == nullptr) return E_POINTER;
  auto* e = new (std::nothrow) MediaTypeEnum();
  if (e == nullptr) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < count; ++i) {
    if (!e->Add(types[i])) {
      e->Release();
      return E_OUTOFMEMORY;
    }
  }
  *out = e;
  return S_OK;
}

}  // namespace capture::win32
