// The object model behind every Core Foundation reference: a reference count and a type tag
// that the public calls check before they look inside an object.
#pragma once

#include <atomic>

#include "os/core_foundation.h"

namespace os::cf {

enum class TypeId : CFTypeID { String = 1, Number, Dictionary, Uuid, RunLoop, RunLoopSource };

class Object {
 public:
  // Process-lifetime objects are the constants handed out by address; counting them would
  // let a stray release free static storage.
  enum class Lifetime { Counted, Process };

  explicit Object(TypeId type, Lifetime lifetime = Lifetime::Counted) : type_(type), lifetime_(lifetime) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  TypeId type() const { return type_; }
  void retain() const;
  // Deletes the object when the last reference goes.
  void release() const;
  CFIndex retainCount() const;
  virtual bool equals(const Object& other) const { return this == &other; }

 private:
  mutable std::atomic<CFIndex> references_{1};
  TypeId type_;
  Lifetime lifetime_;
};

inline const Object* objectFrom(CFTypeRef reference) { return static_cast<const Object*>(reference); }

// The object of type T behind `reference`, or null when it is null or of another type.
template <class T>
const T* objectAs(CFTypeRef reference) {
  const Object* object = objectFrom(reference);
  if (object == nullptr || object->type() != T::kTypeId) return nullptr;
  return static_cast<const T*>(object);
}

}  // namespace os::cf
