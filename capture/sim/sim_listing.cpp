// The graph layer's device listing over the simulated cameras.
#include <cstring>

#include "capture/sim/sim_model.h"

namespace capture::graph {

bool EnterComApartment() {
  sim::EnterComApartment();
  return true;
}

HResult CreateSystemDeviceEnum(DeviceEnum** out) {
  *out = nullptr;
  if (HResult hr = sim::ComCreation("CreateSystemDeviceEnum"); Failed(hr)) return hr;
  *out = new DeviceEnum();
  return kOk;
}

HResult CreateVideoInputEnum(DeviceEnum*, MonikerEnum** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("CreateVideoInputEnum"); Failed(hr)) return hr;
  sim::Settings& s = sim::TheSettings();
  std::vector<std::shared_ptr<const sim::Camera>> cameras;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    cameras = s.cameras;
  }
  if (cameras.empty()) {
    return kFalse;  // an empty category yields no enumerator
  }
  auto* monikers = new MonikerEnum();
  monikers->cameras = std::move(cameras);
  *out = monikers;
  return kOk;
}

HResult NextMoniker(MonikerEnum* monikers, Moniker** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("NextMoniker"); Failed(hr)) return hr;
  if (monikers->next >= monikers->cameras.size()) {
    return kFalse;
  }
  auto* moniker = new Moniker();
  moniker->camera = monikers->cameras[monikers->next++];
  *out = moniker;
  return kOk;
}

HResult BindToPropertyBag(Moniker* moniker, PropertyBag** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("BindToPropertyBag"); Failed(hr)) return hr;
  auto* bag = new PropertyBag();
  bag->camera = moniker->camera;
  *out = bag;
  return kOk;
}

HResult ReadStringProperty(PropertyBag* bag, const char16_t* name, char16_t** value, std::size_t* length) {
  *value = nullptr;
  *length = 0;
  if (HResult hr = sim::Injected("ReadStringProperty"); Failed(hr)) return hr;
  const std::u16string key(name);
  const std::u16string* text = nullptr;
  if (key == u"FriendlyName") {
    text = &bag->camera->friendlyName;
  } else if (key == u"DevicePath") {
    text = &bag->camera->devicePath;
  } else if (key == u"Description" && bag->camera->description.has_value()) {
    text = &*bag->camera->description;
  }
  if (text == nullptr) {
    return kInvalidArg;  // no such property
  }
  auto* copy = new char16_t[text->size() + 1];
  std::copy(text->begin(), text->end(), copy);
  copy[text->size()] = u'\0';
  *value = copy;
  *length = text->size();
  return kOk;
}

void FreePropertyString(char16_t* value) { delete[] value; }

HResult BindToFilter(Moniker* moniker, Filter** out) {
  *out = nullptr;
  if (HResult hr = sim::Injected("BindToFilter"); Failed(hr)) return hr;
  auto* source = new Filter(Filter::Kind::kSource);
  source->camera = moniker->camera;
  *out = source;
  return kOk;
}

}  // namespace capture::graph
