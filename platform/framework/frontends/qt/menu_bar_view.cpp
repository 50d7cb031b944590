#include "frontends/qt/menu_bar_view.h"

#include <QtGui/QKeySequence>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>

#include <functional>
#include <string_view>

#include "frontends/qt/qt_conversions.h"
#include "ui/event_loop.h"
#include "ui/window.h"

namespace fw {
namespace {

// What a standard Edit item does to a line edit, and when it can.
struct EditCommand {
  std::string_view name;  // the item's name, as the framework's standard Edit menu names it
  std::function<void(QLineEdit&)> act;
  std::function<bool(const QLineEdit&)> possible;
};

const EditCommand kEditCommands[] = {
    {"EditUndo", [](QLineEdit& edit) { edit.undo(); },
     [](const QLineEdit& edit) { return !edit.isReadOnly() && edit.isUndoAvailable(); }},
    {"EditCut", [](QLineEdit& edit) { edit.cut(); },
     [](const QLineEdit& edit) { return !edit.isReadOnly() && edit.hasSelectedText(); }},
    {"EditCopy", [](QLineEdit& edit) { edit.copy(); }, [](const QLineEdit& edit) { return edit.hasSelectedText(); }},
    {"EditPaste", [](QLineEdit& edit) { edit.paste(); }, [](const QLineEdit& edit) { return !edit.isReadOnly(); }},
    // Delete clears the selection; with none it does nothing, unlike the Delete key.
    {"EditClear", [](QLineEdit& edit) { edit.del(); },
     [](const QLineEdit& edit) { return !edit.isReadOnly() && edit.hasSelectedText(); }},
    {"EditSelectAll", [](QLineEdit& edit) { edit.selectAll(); },
     [](const QLineEdit& edit) { return !edit.text().isEmpty(); }},
};

const EditCommand* FindEditCommand(std::string_view name) {
  for (const EditCommand& command : kEditCommands) {
    if (command.name == name) return &command;
  }
  return nullptr;
}

QLineEdit* FocusedLineEdit() { return qobject_cast<QLineEdit*>(QApplication::focusWidget()); }

void AddItem(QMenu& menu, MenuItem& item) {
  if (item.IsSeparator()) {
    menu.addSeparator();
    return;
  }
  QAction* action = menu.addAction(ToQString(item.Text));
  action->setObjectName(ToQString(item.Name));  // found again by name when the item changes
  action->setEnabled(item.Enabled());
  if (!item.KeyboardShortcut.empty()) {
    action->setShortcut(
        QKeySequence(ToQString(KeyboardShortcutForDisplay(item.KeyboardShortcut)), QKeySequence::PortableText));
  }
  if (const EditCommand* command = FindEditCommand(item.Name)) {
    QObject::connect(action, &QAction::triggered, [command] {
      if (QLineEdit* edit = FocusedLineEdit(); edit && command->possible(*edit)) command->act(*edit);
    });
    if (item.AutoEnable) {
      // Enabled while it can act on the focused field; checked each time the menu opens.
      QObject::connect(&menu, &QMenu::aboutToShow, action, [action, command] {
        const QLineEdit* edit = FocusedLineEdit();
        action->setEnabled(edit != nullptr && command->possible(*edit));
      });
    }
    return;
  }
  QObject::connect(action, &QAction::triggered,
                   [chosen = Ref<MenuItem>(&item)] { PostInput(nullptr, [chosen] { chosen->Choose(); }); });
}

}  // namespace

QMenuBar* MakeMenuBar(MenuBar& model, QWidget* parent) {
  auto* bar = new QMenuBar(parent);
  for (const Ref<MenuItem>& title : model.Children()) {
    QMenu* menu = bar->addMenu(ToQString(title->Text));
    for (const Ref<MenuItem>& item : title->Children()) AddItem(*menu, *item);
  }
  return bar;
}

void SyncMenuItem(QMenuBar& bar, const MenuItem& item) {
  for (QAction* action : bar.findChildren<QAction*>(ToQString(item.Name))) action->setEnabled(item.Enabled());
}

}  // namespace fw
