#include "menu_bar1.h"

#include <string>

namespace {

struct ItemEntry {
  const char* name;
  const char* text;
  const char* shortcut;  // nullptr: the item gets no shortcut at all (separators)
};

constexpr ItemEntry kEditItems[] = {
    {"EditUndo", "Undo", "Cmd+Z"},       {"UntitledMenu1", "-", nullptr}, {"EditCut", "Cut", "Cmd+X"},
    {"EditCopy", "Copy", "Cmd+C"},       {"EditPaste", "Paste", "Cmd+V"}, {"EditClear", "Delete", ""},
    {"UntitledMenu0", "-", nullptr},     {"EditSelectAll", "Select all", "Cmd+A"},
};

template <class Item>
fw::Ref<Item> NewItem(const ItemEntry& entry) {
  fw::Ref<Item> item = fw::MakeRef<Item>();
  item->Name = entry.name;
  item->AutoEnable = true;
  item->Text = entry.text;
  if (entry.shortcut != nullptr) item->KeyboardShortcut = entry.shortcut;
  return item;
}

}  // namespace

fw::Ref<class MenuBar1> MenuBar1::_implicitInstance;

MenuBar1::MenuBar1() {
  Append(NewItem<fw::MenuItem>({"FileMenu", "File", ""}));
  Child("FileMenu")->Append(NewItem<fw::QuitMenuItem>({"FileQuit", "Beenden", "Cmd+Q"}));
  Append(NewItem<fw::MenuItem>({"EditMenu", "Edit", ""}));
  for (const ItemEntry& entry : kEditItems) Child("EditMenu")->Append(NewItem<fw::MenuItem>(entry));
}

fw::Ref<class MenuBar1> MenuBar1() {
  if (!MenuBar1::_implicitInstance) MenuBar1::_implicitInstance = fw::MakeRef<class MenuBar1>();
  return MenuBar1::_implicitInstance;
}

void ReleaseMenuBar1() { MenuBar1::_implicitInstance = nullptr; }
