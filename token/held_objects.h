// The component objects this library has handed out, each with the Java object
// it was handed to. The Java object keeps only the object's address; a call finds
// the object here by that address and holds it for as long as the call runs. An
// address that is not here (never handed out, released by Uninit, copied from
// another qTokAPI, or the other kind of object) reaches nothing.
//
// The objects are released on the apartment thread, after the last call that
// holds one, whatever thread lets go of it last.
#pragma once

#include <jni.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "common/com/com_ref.h"
#include "token/component_abi.h"

namespace qtok {

enum class ObjectKind { kToken, kHash };

// One reference to a component object, adopted from its creation, dropped on the
// apartment thread.
class HeldObject {
 public:
  explicit HeldObject(IUnknown* created) : object_(zav::ComRef<IUnknown>::Adopt(created)) {}
  HeldObject(const HeldObject&) = delete;
  HeldObject& operator=(const HeldObject&) = delete;
  ~HeldObject();
  IUnknown* get() const { return object_.get(); }

 private:
  zav::ComRef<IUnknown> object_;
};
using Hold = std::shared_ptr<HeldObject>;

namespace held_objects {

// Keeps `object` as handed to `owner`. False with OutOfMemoryError pending when
// the JVM cannot make the reference to the owner.
bool Add(JNIEnv* env, jobject owner, ObjectKind kind, Hold object);
// The object of this kind at `address` handed to `owner`; empty when there is none.
Hold Find(JNIEnv* env, jobject owner, ObjectKind kind, std::uintptr_t address);
// Takes out every object handed to `owner` but those in `keep`, with those whose
// owner the JVM has collected. Here and below the hash objects come first.
std::vector<Hold> TakeOwnedBy(JNIEnv* env, jobject owner, std::initializer_list<const HeldObject*> keep);
// Takes out the objects `which`.
std::vector<Hold> TakeThese(JNIEnv* env, std::initializer_list<const HeldObject*> which);
// Takes out every object (the library unloads).
std::vector<Hold> TakeAll(JNIEnv* env);

}  // namespace held_objects
}  // namespace qtok
