#include "menu_bar1.h"

#include <string>

namespace {

struct ItemSpec {
  const char* name;
  const char* text;
  const char* shortcut;  // nullptr: the item gets no shortcut at all (separators)
};

constexpr ItemSpec kEditItems[] = {
    {"EditUndo", "Undo", "Cmd+Z"},       {"UntitledMenu1", "-", nullptr}, {"EditCut", "Cut", "Cmd+X"},
    {"EditCopy", "Copy", "Cmd+C"},       {"EditPaste", "Paste", "Cmd+V"}, {"EditClear", "Delete", ""},
    {"UntitledMenu0", "-", nullptr},     {"EditSelectAll", "Select all", "Cmd+A"},
};

template <class Item>
fw::Ref<Item> NewItem(const ItemSpec& spec) {
  fw::Ref<Item> item = fw::MakeRef<Item>();
  item->Name = spec.name;
  item->AutoEnable = true;
  item->Text = spec.text;
  if (spec.shortcut != nullptr) item->KeyboardShortcut = spec.shortcut;
  return item;
}

}  // namespace

fw::Ref<class MenuBar1> MenuBar1::_implicitInstance;

MenuBar1::MenuBar1() {
  Append(NewItem<fw::MenuItem>({"FileMenu", "File", ""}));
  Child("FileMenu")->Append(NewItem<fw::QuitMenuItem>({"FileQuit", "Beenden", "Cmd+Q"}));
  Append(NewItem<fw::MenuItem>({"EditMenu", "Edit", ""}));
  for (const ItemSpec& spec : kEditItems) Child("EditMenu")->Append(NewItem<fw::MenuItem>(spec));
}

fw::Ref<class MenuBar1> MenuBar1() {
  if (!MenuBar1::_implicitInstance) MenuBar1::_implicitInstance = fw::MakeRef<class MenuBar1>();
  return MenuBar1::_implicitInstance;
}

void ReleaseMenuBar1() { MenuBar1::_implicitInstance = nullptr; }
