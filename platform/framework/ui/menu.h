// Menus: a menu bar is a menu item whose children are the menus, whose children are the
// items. Choosing the quit item quits; the Edit items act on the focused text field, which
// is the front end's business, so the model gives them no action.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "object.h"

namespace fw {

class MenuItem : public Object {
 public:
  std::string Name;
  std::string Text;  // "-" makes a separator
  // As the program writes it, such as "Cmd+Q"; KeyboardShortcutForDisplay gives what this
  // platform's user presses.
  std::string KeyboardShortcut;
  bool AutoEnable = true;

  // A disabled item cannot be chosen; the front ends show it greyed out or leave it out.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  bool IsSeparator() const { return Text == "-"; }
  void Append(Ref<MenuItem> item);
  // The direct child named name, or nullptr.
  Ref<MenuItem> Child(std::string_view name) const;
  const std::vector<Ref<MenuItem>>& Children() const { return children_; }

  // The user chose the item.
  virtual void Choose() {}

 protected:
  ~MenuItem() override = default;

 private:
  std::vector<Ref<MenuItem>> children_;
  bool enabled_ = true;
};

// Quits with 0 when chosen while it is enabled.
class QuitMenuItem : public MenuItem {
 public:
  void Choose() override;
};

class MenuBar : public MenuItem {};

// "Cmd+Q" as this platform's user presses it: "Ctrl+Q". Empty stays empty.
std::string KeyboardShortcutForDisplay(std::string_view shortcut);

// The first item below root, at any depth and in menu order, that matches; nullptr when none
// does.
Ref<MenuItem> FindMenuItem(const MenuItem& root, const std::function<bool(const MenuItem&)>& matches);

// The first quit item below root, or nullptr.
Ref<MenuItem> FindQuitItem(const MenuItem& root);

// The item, at any depth below root, whose shortcut is pressed as display (such as "Ctrl+Q"),
// or nullptr.
Ref<MenuItem> FindMenuItemByShortcut(const MenuItem& root, std::string_view display);

}  // namespace fw
