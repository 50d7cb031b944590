#include "frontends/qt/message_boxes.h"

#include <QtWidgets/QMessageBox>

#include "frontends/qt/qt_conversions.h"

namespace fw {
namespace {

// The program ends its lines in CR LF or CR in places; a plain-text label breaks only at LF.
QString WithLineFeeds(const std::string& text) {
  QString shown = ToQString(text);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

}  // namespace

MessageBoxes::~MessageBoxes() { HideAll(); }

void MessageBoxes::HideAll() {
  while (!open_.empty()) Hide(*open_.begin()->first);
}

void MessageBoxes::Show(MessageBox& box) {
  auto* dialog = new QMessageBox(QMessageBox::NoIcon, QString(), WithLineFeeds(box.Text()), QMessageBox::Ok);
  dialog->setTextFormat(Qt::PlainText);
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  open_[&box] = dialog;
  // Once the box is closed, by the user or by Hide, the model's box may be gone: it is
  // dismissed only while it is still listed here.
  QObject::connect(dialog, &QMessageBox::finished, [this, &box, dialog] {
    const auto found = open_.find(&box);
    if (found == open_.end() || found->second != dialog) return;
    open_.erase(found);
    box.Dismiss();
  });
  dialog->open();
}

void MessageBoxes::Hide(MessageBox& box) {
  const auto found = open_.find(&box);
  if (found == open_.end()) return;
  const QPointer<QMessageBox> dialog = found->second;
  open_.erase(found);
  if (!dialog) return;
  dialog->hide();
  dialog->deleteLater();
}

}  // namespace fw
