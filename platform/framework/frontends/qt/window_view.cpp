#include "frontends/qt/window_view.h"

#include <QtGui/QCloseEvent>
#include <QtGui/QKeyEvent>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QWidget>

#include <algorithm>
#include <vector>

#include "frontends/qt/control_views.h"
#include "frontends/qt/menu_bar_view.h"
#include "frontends/qt/qt_conversions.h"
#include "ui/event_loop.h"

namespace fw {

// The top-level widget: hands the user's actions on the window to its view.
class WindowFrame final : public QWidget {
 public:
  explicit WindowFrame(WindowView& view) : view_(&view) {}
  void Detach() { view_ = nullptr; }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (view_ == nullptr) return;
    view_->LayOutFrame();
    // Only the user's (or the window manager's) resizes: ours come from the model already.
    if (event->spontaneous()) view_->UserResized(event->size().width(), event->size().height() - ContentTop());
  }
  void closeEvent(QCloseEvent* event) override {
    // The model decides whether and when the window closes.
    event->ignore();
    if (view_ != nullptr) view_->UserClosed();
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (view_ != nullptr && view_->UserPressedKey(event->key())) return;
    QWidget::keyPressEvent(event);
  }

 private:
  int ContentTop() const { return view_ && view_->Content() ? view_->Content()->y() : 0; }
  WindowView* view_;
};

namespace {

Qt::WindowFlags FlagsFor(const Window& window) {
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (window.CloseButton) flags |= Qt::WindowCloseButtonHint;
  if (window.MinimizeButton) flags |= Qt::WindowMinimizeButtonHint;
  if (window.MaximizeButton && window.Resizeable) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}

PushButton* ButtonFor(const Window& window, bool isDefault) {
  for (const Ref<Control>& control : window.Controls()) {
    auto* button = dynamic_cast<PushButton*>(control.get());
    if (button == nullptr || !button->Enabled() || !button->Visible()) continue;
    if (isDefault ? button->Default : button->Cancel) return button;
  }
  return nullptr;
}

}  // namespace

WindowView::WindowView(Window& window, MenuBar* menuBar) : window_(&window), frame_(new WindowFrame(*this)) {
  frame_->setWindowFlags(FlagsFor(window));
  content_ = new QWidget(frame_);
  if (window.HasBackColor) {
    QPalette palette = content_->palette();
    palette.setColor(QPalette::Window, ToQColor(window.BackColor));
    content_->setPalette(palette);
    content_->setAutoFillBackground(true);
  }
  for (const Ref<Control>& control : window.Controls()) {
    if (QWidget* widget = MakeControlWidget(*control, window, content_)) widgets_[control.get()] = widget;
  }
  SetTabOrder();
  if (menuBar != nullptr) InstallMenuBar(*menuBar);
  SyncWindow();
}

WindowView::~WindowView() {
  if (!frame_) return;
  frame_->Detach();
  frame_->hide();
  frame_->deleteLater();
}

QWidget* WindowView::Frame() const { return frame_; }

QWidget* WindowView::WidgetOf(const Control& control) const {
  const auto found = widgets_.find(&control);
  return found == widgets_.end() ? nullptr : found->second;
}

void WindowView::MakeModal() {
  if (frame_->windowModality() == Qt::ApplicationModal) return;
  // Qt takes a new modality only when a window is shown.
  const bool shown = frame_->isVisible();
  if (shown) frame_->hide();
  frame_->setWindowModality(Qt::ApplicationModal);
  if (shown) frame_->show();
}

void WindowView::ShowIfWaiting() {
  if (!waitingToShow_) return;
  waitingToShow_ = false;
  frame_->show();
}

int WindowView::MenuBarHeight() const {
  // A menu bar that Qt hands to the desktop's global menu takes no room in the window.
  if (menuBar_ == nullptr || menuBar_->isNativeMenuBar()) return 0;
  return menuBar_->sizeHint().height();
}

void WindowView::LayOutFrame() {
  const int menuHeight = MenuBarHeight();
  if (menuBar_ != nullptr) menuBar_->setGeometry(0, 0, frame_->width(), menuHeight);
  content_->setGeometry(0, menuHeight, frame_->width(), frame_->height() - menuHeight);
}

void WindowView::SyncWindow() {
  const Window& window = *window_;
  const QString title = ToQString(window.Title());
  if (frame_->windowTitle() != title) frame_->setWindowTitle(title);
  const int menuHeight = MenuBarHeight();
  if (window.Resizeable) {
    frame_->setMinimumSize(window.MinWidth, window.MinHeight + menuHeight);
    frame_->setMaximumSize(std::min(window.MaxWidth, QWIDGETSIZE_MAX),
                           std::min(window.MaxHeight + menuHeight, QWIDGETSIZE_MAX));
  } else {
    frame_->setFixedSize(window.Width(), window.Height() + menuHeight);
  }
  // Placed only when the model moved or resized the window: where the window manager or the
  // user put it otherwise stays.
  const QRect wanted(window.Left(), window.Top() - menuHeight, window.Width(), window.Height() + menuHeight);
  if (wanted != placed_) {
    placed_ = wanted;
    frame_->setGeometry(wanted);
  }
  LayOutFrame();
  for (const auto& [control, widget] : widgets_) {
    widget->setGeometry(control->Left, control->Top, control->Width, control->Height);
  }
}

void WindowView::SyncControl(Control& control) {
  if (QWidget* widget = WidgetOf(control)) SyncControlWidget(control, *widget);
}

void WindowView::SyncMenuItem(const MenuItem& item) {
  if (menuBar_ != nullptr) fw::SyncMenuItem(*menuBar_, item);
}

void WindowView::InstallMenuBar(MenuBar& menuBar) {
  if (!window_->MenuBarVisible) return;
  delete menuBar_;
  menuBar_ = MakeMenuBar(menuBar, frame_);
  placed_ = QRect();  // the content keeps its place on the screen; the frame grows upwards
  SyncWindow();
}

void WindowView::SetTabOrder() {
  std::vector<std::pair<const Control*, QWidget*>> stops;
  for (const Ref<Control>& control : window_->Controls()) {
    QWidget* widget = WidgetOf(*control);
    if (widget != nullptr && widget->focusPolicy() & Qt::TabFocus) stops.emplace_back(control.get(), widget);
  }
  std::stable_sort(stops.begin(), stops.end(),
                   [](const auto& a, const auto& b) { return a.first->TabIndex < b.first->TabIndex; });
  for (size_t i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1].second, stops[i].second);
}

void WindowView::UserResized(int contentWidth, int contentHeight) {
  if (contentWidth == window_->Width() && contentHeight == window_->Height()) return;
  PostInput(window_, [window = window_, contentWidth, contentHeight] { window->SetSize(contentWidth, contentHeight); });
}

void WindowView::UserClosed() {
  PostInput(window_, [window = window_] { window->PressCloseBox(); });
}

bool WindowView::UserPressedKey(int key) {
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  if (!enter && key != Qt::Key_Escape) return false;
  PushButton* button = ButtonFor(*window_, enter);
  if (button == nullptr) return false;
  PostInput(window_, [pressed = Ref<PushButton>(button)] { pressed->Press(); });
  return true;
}

}  // namespace fw
