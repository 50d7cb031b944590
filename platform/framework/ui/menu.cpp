#include "ui/menu.h"

#include <utility>

#include "ui/application.h"
#include "ui/front_end.h"

namespace fw {

void MenuItem::Append(Ref<MenuItem> item) {
  if (item) children_.push_back(std::move(item));
}

Ref<MenuItem> MenuItem::Child(std::string_view name) const {
  for (const Ref<MenuItem>& child : children_) {
    if (child->Name == name) return child;
  }
  return nullptr;
}

void MenuItem::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  CurrentFrontEnd().MenuItemChanged(*this);
}

void QuitMenuItem::Choose() {
  if (Enabled()) Quit(0);
}

std::string KeyboardShortcutForDisplay(std::string_view shortcut) {
  // The program was written where the command key leads the shortcuts; here Ctrl does.
  constexpr std::string_view kCommand = "Cmd+";
  if (shortcut.starts_with(kCommand)) return "Ctrl+" + std::string(shortcut.substr(kCommand.size()));
  return std::string(shortcut);
}

Ref<MenuItem> FindMenuItem(const MenuItem& root, const std::function<bool(const MenuItem&)>& matches) {
  for (const Ref<MenuItem>& child : root.Children()) {
    if (matches(*child)) return child;
    if (Ref<MenuItem> found = FindMenuItem(*child, matches)) return found;
  }
  return nullptr;
}

Ref<MenuItem> FindQuitItem(const MenuItem& root) {
  return FindMenuItem(root, [](const MenuItem& item) { return dynamic_cast<const QuitMenuItem*>(&item) != nullptr; });
}

Ref<MenuItem> FindMenuItemByShortcut(const MenuItem& root, std::string_view display) {
  return FindMenuItem(root, [display](const MenuItem& item) {
    return !item.KeyboardShortcut.empty() && KeyboardShortcutForDisplay(item.KeyboardShortcut) == display;
  });
}

}  // namespace fw
