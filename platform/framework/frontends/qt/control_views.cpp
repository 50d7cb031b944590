#include "frontends/qt/control_views.h"

#include <QtCore/QPointer>
#include <QtGui/QPainter>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QPushButton>

#include <algorithm>

#include "frontends/qt/qt_conversions.h"
#include "ui/event_loop.h"
#include "ui/window.h"

namespace fw {
namespace {

void SetTextColor(QWidget& widget, QPalette::ColorRole role, Color color) {
  QPalette palette = widget.palette();
  palette.setColor(role, ToQColor(color));
  widget.setPalette(palette);
}

// Draws its backdrop at the picture's own size from its top-left corner, clipped to the
// canvas, the way the program's pictures were made to be shown; no picture draws nothing, so
// the window's back colour shows through.
class CanvasWidget final : public QWidget {
 public:
  explicit CanvasWidget(QWidget* parent) : QWidget(parent) {}

  void Show(const Ref<Picture>& picture) {
    if (picture == shown_) return;
    shown_ = picture;
    image_ = ToQImage(picture.get());
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (image_.isNull()) return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), image_);
  }

 private:
  Ref<Picture> shown_;
  QImage image_;
};

// The user's typing goes to the model as input; until the last of it has been delivered, the
// model's text is older than the field's and must not overwrite it.
class EditFieldWidget final : public QLineEdit {
 public:
  explicit EditFieldWidget(QWidget* parent) : QLineEdit(parent) {}
  int editsOnTheirWay = 0;
};

QWidget* MakeButton(PushButton& button, Window& window, QWidget* parent) {
  auto* widget = new QPushButton(parent);
  // Enter and Escape go to the window, which presses its default or cancel button; a focused
  // button must not take Enter for itself.
  widget->setAutoDefault(false);
  widget->setDefault(button.Default);
  widget->setFocusPolicy(button.TabStop ? Qt::StrongFocus : Qt::NoFocus);
  QObject::connect(widget, &QPushButton::clicked, [pressed = Ref<PushButton>(&button), owner = Ref<Window>(&window)] {
    PostInput(owner, [pressed] { pressed->Press(); });
  });
  return widget;
}

QWidget* MakeEditField(EditField& field, Window& window, QWidget* parent) {
  auto* widget = new EditFieldWidget(parent);
  widget->setFocusPolicy(field.TabStop ? Qt::StrongFocus : Qt::ClickFocus);
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Text, ToQColor(field.TextColor));
  palette.setColor(QPalette::Base, ToQColor(field.BackColor));
  widget->setPalette(palette);
  QPointer<EditFieldWidget> guarded(widget);
  QObject::connect(widget, &QLineEdit::textEdited,
                   [guarded, edited = Ref<EditField>(&field), owner = Ref<Window>(&window)](const QString& text) {
                     ++guarded->editsOnTheirWay;
                     PostInput(owner, [guarded, edited, typed = text.toStdString()] {
                       if (guarded) --guarded->editsOnTheirWay;
                       edited->Type(typed);
                     });
                   });
  return widget;
}

QWidget* MakeLabel(StaticText& text, QWidget* parent) {
  auto* widget = new QLabel(parent);
  widget->setTextFormat(Qt::PlainText);  // the program's text as it is, never markup
  widget->setWordWrap(text.Multiline);
  // As the program numbers it: 0 the default (left), 1 left, 2 centred, 3 right.
  Qt::Alignment horizontal = Qt::AlignLeft;
  if (text.TextAlign == 2) horizontal = Qt::AlignHCenter;
  if (text.TextAlign == 3) horizontal = Qt::AlignRight;
  // A single line stands centred in its height, like the captions of buttons beside it.
  widget->setAlignment(horizontal | (text.Multiline ? Qt::AlignTop : Qt::AlignVCenter));
  SetTextColor(*widget, QPalette::WindowText, text.TextColor);
  return widget;
}

QWidget* MakeProgressBar(QWidget* parent) {
  auto* widget = new QProgressBar(parent);
  widget->setTextVisible(false);
  return widget;
}

void SyncProgressBar(const ProgressBar& bar, QProgressBar& widget) {
  // A range of 0..0 would make Qt animate a busy bar; a bar without a maximum shows empty.
  const int maximum = std::max<int32_t>(bar.Maximum, 1);
  const int value = bar.Maximum <= 0 ? 0 : std::clamp<int32_t>(bar.Value(), 0, bar.Maximum);
  widget.setRange(0, maximum);
  widget.setValue(value);
}

}  // namespace

QWidget* MakeControlWidget(Control& control, Window& window, QWidget* parent) {
  QWidget* widget = nullptr;
  if (auto* button = dynamic_cast<PushButton*>(&control)) {
    widget = MakeButton(*button, window, parent);
  } else if (auto* field = dynamic_cast<EditField*>(&control)) {
    widget = MakeEditField(*field, window, parent);
  } else if (auto* text = dynamic_cast<StaticText*>(&control)) {
    widget = MakeLabel(*text, parent);
  } else if (dynamic_cast<ProgressBar*>(&control) != nullptr) {
    widget = MakeProgressBar(parent);
  } else if (dynamic_cast<Canvas*>(&control) != nullptr) {
    widget = new CanvasWidget(parent);
  } else {
    return nullptr;  // timers
  }
  widget->setObjectName(ToQString(control.Name()));
  SyncControlWidget(control, *widget);
  return widget;
}

void SyncControlWidget(Control& control, QWidget& widget) {
  const QRect rect(control.Left, control.Top, control.Width, control.Height);
  if (widget.geometry() != rect) widget.setGeometry(rect);
  widget.setEnabled(control.Enabled());
  widget.setHidden(!control.Visible());
  if (auto* button = dynamic_cast<PushButton*>(&control)) {
    auto& pushButton = static_cast<QPushButton&>(widget);
    if (pushButton.text() != ToQString(button->Caption())) pushButton.setText(ToQString(button->Caption()));
  } else if (auto* field = dynamic_cast<EditField*>(&control)) {
    auto& lineEdit = static_cast<EditFieldWidget&>(widget);
    lineEdit.setReadOnly(field->ReadOnly);
    const QString text = ToQString(field->Text());
    if (lineEdit.editsOnTheirWay == 0 && lineEdit.text() != text) lineEdit.setText(text);
  } else if (auto* text = dynamic_cast<StaticText*>(&control)) {
    auto& label = static_cast<QLabel&>(widget);
    if (label.text() != ToQString(text->Text())) label.setText(ToQString(text->Text()));
  } else if (auto* bar = dynamic_cast<ProgressBar*>(&control)) {
    SyncProgressBar(*bar, static_cast<QProgressBar&>(widget));
  } else if (auto* canvas = dynamic_cast<Canvas*>(&control)) {
    static_cast<CanvasWidget&>(widget).Show(canvas->Backdrop());
  }
}

}  // namespace fw
