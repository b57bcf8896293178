#include "capture/win32/dshow_util.h"

#include "common/win32/com_object.h"
#include "common/com/com_ref.h"

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

// What the enumerators hand out. Keep makes the enumerator's own copy of an item,
// Drop frees it, Hand makes the copy the caller receives (false when it cannot).
struct PinItems {
  using Item = IPin*;
  using Out = IPin*;
  static bool Keep(Item& kept, Item pin) {
    kept = pin;
    pin->AddRef();
    return true;
  }
  static void Drop(Item& pin) { pin->Release(); }
  static bool Hand(Out& out, Item pin) {
    out = pin;
    pin->AddRef();
    return true;
  }
};

struct MediaTypeItems {
  using Item = AM_MEDIA_TYPE;
  using Out = AM_MEDIA_TYPE*;
  static bool Keep(Item& kept, const Item& type) { return SUCCEEDED(CopyMediaType(&kept, &type)); }
  static void Drop(Item& type) { FreeMediaType(type); }
  static bool Hand(Out& out, const Item& type) {
    out = CreateMediaType(&type);
    return out != nullptr;
  }
};

// A COM enumerator over its own copy of a list, with the Next, Skip, Reset and
// Clone every enumerator has.
template <typename Interface, const IID& kIid, typename Items>
class ListEnum final : public zav::win32::ComObject<Interface, kIid> {
 public:
  using Item = typename Items::Item;
  using Out = typename Items::Out;

  ListEnum() = default;
  ~ListEnum() override {
    for (Item& item : items_) Items::Drop(item);
  }
  // False (nothing added) when no copy can be made.
  bool Add(const Item& item) {
    try {
      items_.reserve(items_.size() + 1);
    } catch (...) {
      return false;
    }
    Item kept{};
    if (!Items::Keep(kept, item)) return false;
    items_.push_back(kept);
    return true;
  }
  STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
    ULONG n = 0;
    while (n < count && position_ < items_.size() && Items::Hand(out[n], items_[position_])) {
      ++position_;
      ++n;
    }
    if (fetched != nullptr) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  STDMETHODIMP Skip(ULONG count) override {
    if (count > items_.size() - position_) {
      position_ = static_cast<ULONG>(items_.size());
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  STDMETHODIMP Reset() override {
    position_ = 0;
    return S_OK;
  }
  STDMETHODIMP Clone(Interface** out) override {
    if (out == nullptr) return E_POINTER;
    auto copy = zav::ComRef<ListEnum>::Adopt(new (std::nothrow) ListEnum());
    if (!copy) return E_OUTOFMEMORY;
    for (const Item& item : items_) {
      if (!copy->Add(item)) return E_OUTOFMEMORY;
    }
    copy->position_ = position_;
    *out = copy.detach();
    return S_OK;
  }

 private:
  std::vector<Item> items_;
  ULONG position_ = 0;
};

// A new enumerator over `count` items, or E_OUTOFMEMORY.
template <typename Enum, typename Interface>
HRESULT MakeListEnum(const typename Enum::Item* items, ULONG count, Interface** out) {
  if (out == nullptr) return E_POINTER;
  auto e = zav::ComRef<Enum>::Adopt(new (std::nothrow) Enum());
  if (!e) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < count; ++i) {
    if (!e->Add(items[i])) return E_OUTOFMEMORY;
  }
  *out = e.detach();
  return S_OK;
}

using PinEnum = ListEnum<IEnumPins, IID_IEnumPins, PinItems>;
using MediaTypeEnum = ListEnum<IEnumMediaTypes, IID_IEnumMediaTypes, MediaTypeItems>;

}  // namespace

HRESULT CreatePinEnum(IPin* const* pins, ULONG count, IEnumPins** out) {
  return MakeListEnum<PinEnum>(pins, count, out);
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

HRESULT FillPinInfo(PIN_INFO* info, IBaseFilter* filter, PIN_DIRECTION direction, const wchar_t* name) {
  if (info == nullptr) return E_POINTER;
  info->pFilter = filter;
  if (filter != nullptr) filter->AddRef();
  info->dir = direction;
  lstrcpynW(info->achName, name, MAX_PIN_NAME);
  return S_OK;
}

HRESULT CopyConnectionType(AM_MEDIA_TYPE* out, bool connected, const AM_MEDIA_TYPE& type) {
  if (out == nullptr) return E_POINTER;
  if (!connected) {
    std::memset(out, 0, sizeof *out);
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(out, &type);
}

HRESULT CreateMediaTypeEnum(const AM_MEDIA_TYPE* types, ULONG count, IEnumMediaTypes** out) {
  return MakeListEnum<MediaTypeEnum>(types, count, out);
}

}  // namespace capture::win32
