// Instances of plug-in classes, as the program sees them.
//
// The host allocates one block per instance: a small header of its own, then the plug-in's
// class data at the class's DataOffset, zero-filled. The block's address is the REALobject
// handle a plug-in receives; the header leads back to the C++ object that owns the block.
// The plug-in's constructor runs when the object is made (before the program's subclass
// constructor) and its destructor when the last reference goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "object.h"
#include "plugin_abi.h"

namespace fw {

struct RegisteredClass;

// A handler the program's class installs for one plug-in event, bound by the event's name.
struct EventBinding {
  std::string_view eventName;  // e.g. "ReceivedData"
  void* handler;               // called as the event's declaration gives, instance first
};

// What the program declares about its own subclass of a plug-in class.
struct ProgramClass {
  std::string_view name;
  std::span<const EventBinding> events;
};

class PluginInstance : public Object {
 public:
  REALobject Handle() const { return handle_; }
  const RegisteredClass& Class() const { return *class_; }

  // The object whose block this handle is, or nullptr for a handle the host did not make.
  static PluginInstance* FromHandle(REALobject handle);
  // The handler the object's class installed for the event named eventName, or nullptr.
  void* EventHandler(std::string_view eventName) const;

 protected:
  // className: the registered plug-in class; init/exit: its constructor and destructor
  // entries (from the program's entry-point table); programClass: the program's subclass,
  // if any, with its event handlers.
  PluginInstance(std::string_view className, void* initEntry, void* exitEntry,
                 const ProgramClass* programClass);
  ~PluginInstance() override;

  // A plain 32-bit property at its field offset in the class data.
  int32_t Field32(size_t fieldOffset) const;
  void SetField32(size_t fieldOffset, int32_t value);
  // The class data bytes, for fields that are not properties.
  std::span<uint8_t> ClassData() const;

 private:
  bool FieldInside(size_t fieldOffset) const;

  const RegisteredClass* class_;
  const ProgramClass* programClass_;
  void* exitEntry_;
  REALobject handle_ = nullptr;
};

}  // namespace fw
