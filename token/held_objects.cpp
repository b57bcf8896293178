#include "token/held_objects.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "token/apartment.h"

namespace qtok {

HeldObject::~HeldObject() {
  Apartment& apartment = Apartment::Get();
  if (apartment.OnThread()) return;  // the reference goes with object_, here
  // Handed on to the apartment thread, where a reference adopted again drops it.
  apartment.Post([object = object_.detach()] { zav::ComRef<IUnknown>::Adopt(object); });
}

namespace held_objects {

namespace {

struct Entry {
  ObjectKind kind;
  jweak owner;
  Hold object;
};

// By the object's address: every call looks its object up, among as many as the
// client keeps live. An address is here once: the entry holds its object alive.
struct Table {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, Entry> entries;
};

Table& table() {
  static Table* t = new Table;  // never destroyed: releases may come at process exit
  return *t;
}

// Moves the entries `leaving` picks out of the table into `taken` (hash objects
// first) and deletes their references to their owners.
template <typename Leaving>
std::vector<Hold> Take(JNIEnv* env, Leaving&& leaving) {
  std::vector<Entry> out;
  {
    Table& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (auto it = t.entries.begin(); it != t.entries.end();) {
      if (leaving(it->second)) {
        out.push_back(std::move(it->second));
        it = t.entries.erase(it);
      } else {
        ++it;
      }
    }
  }
  std::stable_partition(out.begin(), out.end(), [](const Entry& e) { return e.kind == ObjectKind::kHash; });
  std::vector<Hold> taken;
  taken.reserve(out.size());
  for (Entry& e : out) {
    env->DeleteWeakGlobalRef(e.owner);
    taken.push_back(std::move(e.object));
  }
  return taken;
}

bool Among(const Entry& e, std::initializer_list<const HeldObject*> objects) {
  return std::find(objects.begin(), objects.end(), e.object.get()) != objects.end();
}

}  // namespace

bool Add(JNIEnv* env, jobject owner, ObjectKind kind, Hold object) {
  jweak weak = env->NewWeakGlobalRef(owner);
  if (weak == nullptr) return false;
  const auto address = reinterpret_cast<std::uintptr_t>(object->get());
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.entries.emplace(address, Entry{kind, weak, std::move(object)});
  return true;
}

Hold Find(JNIEnv* env, jobject owner, ObjectKind kind, std::uintptr_t address) {
  if (address == 0) return nullptr;
  Table& t = table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.entries.find(address);
  if (it == t.entries.end()) return nullptr;
  const Entry& e = it->second;
  return e.kind == kind && env->IsSameObject(e.owner, owner) ? e.object : nullptr;
}

std::vector<Hold> TakeOwnedBy(JNIEnv* env, jobject owner, std::initializer_list<const HeldObject*> keep) {
  return Take(env, [&](const Entry& e) {
    return !Among(e, keep) && (env->IsSameObject(e.owner, owner) || env->IsSameObject(e.owner, nullptr));
  });
}

std::vector<Hold> TakeThese(JNIEnv* env, std::initializer_list<const HeldObject*> which) {
  return Take(env, [&](const Entry& e) { return Among(e, which); });
}

std::vector<Hold> TakeAll(JNIEnv* env) {
  return Take(env, [](const Entry&) { return true; });
}

}  // namespace held_objects
}  // namespace qtok
