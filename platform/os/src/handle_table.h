// io_object_t handles: numbers the caller holds and releases, never reused while the process
// runs, so a stale handle finds nothing instead of another object.
#pragma once

#include <cstdint>
#include <limits>
#include <unordered_map>
#include <utility>

#include "os/iokit_hid.h"

namespace os::hid {

template <class Object>
class HandleTable {
 public:
  // `lastIssued` is the number handed out last; only tests start anywhere but 0.
  explicit HandleTable(std::uint64_t lastIssued = 0) : lastIssued_(lastIssued) {}

  // The new object's handle, or 0 once every number has been used: wrapping around would
  // hand out 0 (no object) or the number of one still alive.
  io_object_t add(Object object) {
    if (lastIssued_ >= kLastHandle) return 0;
    const auto handle = static_cast<io_object_t>(++lastIssued_);
    objects_.emplace(handle, std::move(object));
    return handle;
  }

  Object* find(io_object_t handle) {
    const auto position = objects_.find(handle);
    return position != objects_.end() ? &position->second : nullptr;
  }

  bool remove(io_object_t handle) { return objects_.erase(handle) != 0; }

 private:
  static constexpr std::uint64_t kLastHandle = std::numeric_limits<io_object_t>::max();

  std::unordered_map<io_object_t, Object> objects_;
  std::uint64_t lastIssued_;
};

}  // namespace os::hid
