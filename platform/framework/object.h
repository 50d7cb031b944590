// Reference counting for the framework's objects. Every object the program or a plug-in can
// hold (windows, byte buffers, plug-in class instances) derives from Object; Ref<T> holds one
// reference. The last reference gone destroys the object. Everything runs on the main thread,
// so the count is a plain integer.
#pragma once

#include <cstddef>
#include <utility>

namespace fw {

class Object {
 public:
  Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  void Retain() { ++references_; }
  void Release() {
    if (--references_ == 0) delete this;
  }
  int References() const { return references_; }

 protected:
  virtual ~Object() = default;
  // Gives back a reference taken while the object was being built, without destroying it:
  // a constructor that hands the object to code which locks and unlocks it holds one meanwhile.
  void ReleaseWithoutDestroying() { --references_; }

 private:
  int references_ = 0;
};

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  Ref(T* object) : object_(object) {
    if (object_) object_->Retain();
  }
  Ref(const Ref& other) : Ref(other.object_) {}
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  template <class U>
  Ref(const Ref<U>& other) : Ref(static_cast<T*>(other.get())) {}
  ~Ref() { reset(); }

  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }

  void reset() {
    if (T* object = std::exchange(object_, nullptr)) object->Release();
  }

  T* get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }
  friend bool operator==(const Ref& a, const Ref& b) { return a.object_ == b.object_; }
  friend bool operator==(const Ref& a, std::nullptr_t) { return a.object_ == nullptr; }

 private:
  T* object_ = nullptr;
};

template <class T, class... Args>
Ref<T> MakeRef(Args&&... args) {
  return Ref<T>(new T(std::forward<Args>(args)...));
}

}  // namespace fw
