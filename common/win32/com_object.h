// The IUnknown part of a COM class of our own with one interface: QueryInterface
// for IUnknown and the interface's IIDs (the interface and those it derives from),
// AddRef, and Release that deletes the object with its last reference; the
// QueryInterface of an object with two interfaces, and the IUnknown part of one
// that counts for both.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <initializer_list>

namespace zav::win32 {

// A reference count whose last reference runs `destroy` (the object's delete).
class ReferenceCount {
 public:
  explicit ReferenceCount(ULONG initial) : refs_(initial) {}
  ULONG Add() { return ++refs_; }
  template <typename Destroy>
  ULONG Drop(Destroy&& destroy) {
    const ULONG left = --refs_;
    if (left == 0) destroy();
    return left;
  }
  ULONG Value() const { return refs_; }

 private:
  std::atomic<ULONG> refs_;
};

template <typename Interface, const IID&... Iids>
class ComObject : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || ((iid == Iids) || ...)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.Add(); }
  STDMETHODIMP_(ULONG) Release() override {
    return refs_.Drop([this] { delete this; });
  }

 protected:
  // Made with one reference (the creator's), or with none for an object whose
  // first reference comes through QueryInterface.
  explicit ComObject(ULONG initialReferences = 1) : refs_(initialReferences) {}
  virtual ~ComObject() = default;
  ULONG References() const { return refs_.Value(); }

 private:
  ReferenceCount refs_;
};

// QueryInterface of an object that holds two interfaces and counts its references
// itself (a filter, or a pin that shares its filter's count): the first stands for
// IUnknown and for each IID of `firstIids` (it and those it derives from).
template <typename First, typename Second, typename Object>
HRESULT QueryEither(Object* self, REFIID iid, void** out, std::initializer_list<const IID*> firstIids,
                    REFIID secondIid) {
  if (out == nullptr) return E_POINTER;
  bool first = iid == IID_IUnknown;
  for (const IID* known : firstIids) first = first || iid == *known;
  if (first) {
    *out = static_cast<First*>(self);
  } else if (iid == secondIid) {
    *out = static_cast<Second*>(self);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<First*>(self)->AddRef();
  return S_OK;
}

// A COM class of our own with two interfaces that counts its references itself
// (a filter, whose pins share its count): QueryInterface by QueryEither (the first
// interface for IUnknown and `FirstIids`, the second for `SecondIid`), AddRef, and
// Release that deletes the object with its last reference. Made with no reference:
// its maker takes the first through QueryInterface or AddRef.
template <typename First, typename Second, const IID& SecondIid, const IID&... FirstIids>
class DualComObject : public First, public Second {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    return QueryEither<First, Second>(this, iid, out, {&FirstIids...}, SecondIid);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return refs_.Add(); }
  STDMETHODIMP_(ULONG) Release() override {
    return refs_.Drop([this] { delete this; });
  }

 protected:
  DualComObject() = default;
  virtual ~DualComObject() = default;

 private:
  ReferenceCount refs_{0};
};

}  // namespace zav::win32
