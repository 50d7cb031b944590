#include "frontends/qt/qt_front_end.h"

#include <QtCore/QCoreApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>

#include <map>
#include <utility>

#include "frontends/qt/message_boxes.h"
#include "frontends/qt/window_view.h"
#include "ui/controls.h"

namespace fw {
namespace {

// Notes the user's input (and the window system's) on its way to any widget.
class ActivityWatch final : public QObject {
 public:
  explicit ActivityWatch(int& quietPolls) : quietPolls_(quietPolls) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseMove:
      case QEvent::Wheel:
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::FocusIn:
      case QEvent::Expose:
      case QEvent::Resize:
      case QEvent::Move:
        quietPolls_ = 0;
        break;
      default:
        break;
    }
    return false;
  }

 private:
  int& quietPolls_;
};

}  // namespace

struct QtFrontEnd::State {
  // First in, last out: every widget must be gone before the application object.
  std::unique_ptr<QApplication> ownApplication;
  Ref<MenuBar> menuBar;
  std::map<const Window*, std::unique_ptr<WindowView>> views;
  // Controls whose widgets are out of date, drawn on the next run of Qt.
  std::map<Control*, Ref<Control>> changed;
  MessageBoxes boxes;
  // Polls of Qt since the user or the program last did something.
  int quietPolls = 0;
  std::unique_ptr<ActivityWatch> activityWatch;

  WindowView* ViewOf(const Window& window) const {
    const auto found = views.find(&window);
    return found == views.end() ? nullptr : found->second.get();
  }
  WindowView* ViewOf(const Control& control) const {
    return control.Owner() == nullptr ? nullptr : ViewOf(*control.Owner());
  }
};

QtFrontEnd::QtFrontEnd(int& argc, char** argv) : state_(std::make_unique<State>()) {
  if (QApplication::instance() == nullptr) state_->ownApplication = std::make_unique<QApplication>(argc, argv);
  state_->activityWatch = std::make_unique<ActivityWatch>(state_->quietPolls);
  QCoreApplication::instance()->installEventFilter(state_->activityWatch.get());
  previous_ = SetFrontEnd(this);
}

QtFrontEnd::~QtFrontEnd() {
  SetFrontEnd(previous_);
  QCoreApplication::instance()->removeEventFilter(state_->activityWatch.get());
  state_->views.clear();
  state_->boxes.HideAll();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* QtFrontEnd::FrameOf(const Window& window) const {
  const WindowView* view = state_->ViewOf(window);
  return view ? view->Frame() : nullptr;
}

QWidget* QtFrontEnd::ContentOf(const Window& window) const {
  const WindowView* view = state_->ViewOf(window);
  return view ? view->Content() : nullptr;
}

QWidget* QtFrontEnd::WidgetOf(const Control& control) const {
  const WindowView* view = state_->ViewOf(control);
  return view ? view->WidgetOf(control) : nullptr;
}

void QtFrontEnd::WindowOpened(Window& window) {
  if (state_->ViewOf(window) != nullptr) return;
  state_->views[&window] = std::make_unique<WindowView>(window, state_->menuBar.get());
}

void QtFrontEnd::WindowModal(Window& window) {
  if (WindowView* view = state_->ViewOf(window)) view->MakeModal();
}

void QtFrontEnd::WindowClosed(Window& window) {
  for (const Ref<Control>& control : window.Controls()) state_->changed.erase(control.get());
  state_->views.erase(&window);
}

void QtFrontEnd::WindowChanged(Window& window) {
  if (WindowView* view = state_->ViewOf(window)) view->SyncWindow();
}

void QtFrontEnd::ControlChanged(Control& control) { state_->changed.try_emplace(&control, &control); }

void QtFrontEnd::RedrawNow(Control& control) {
  WindowView* view = state_->ViewOf(control);
  if (view == nullptr) return;
  state_->changed.erase(&control);
  view->ShowIfWaiting();
  view->SyncControl(control);
  // Painted into the window's buffer and handed to the display before returning, even while
  // the program's handler keeps the event loop from running.
  if (QWidget* widget = view->WidgetOf(control)) widget->repaint();
}

void QtFrontEnd::ShowMessage(MessageBox& box) { state_->boxes.Show(box); }

void QtFrontEnd::HideMessage(MessageBox& box) { state_->boxes.Hide(box); }

void QtFrontEnd::Beep() { QApplication::beep(); }

void QtFrontEnd::MenuBarInstalled(MenuBar& menuBar) {
  state_->menuBar = Ref<MenuBar>(&menuBar);
  for (const auto& [window, view] : state_->views) view->InstallMenuBar(menuBar);
}

void QtFrontEnd::MenuItemChanged(MenuItem& item) {
  for (const auto& [window, view] : state_->views) view->SyncMenuItem(item);
}

void QtFrontEnd::Update() { RunQt(); }

// Qt's signals only queue input (PostInput), so letting Qt run here starts no handler of the
// program inside the one that yields.
void QtFrontEnd::Yield() { RunQt(); }

std::optional<double> QtFrontEnd::MaxWaitSeconds() {
  if (state_->quietPolls >= kQuietPollsBeforeIdle) return kIdlePollSeconds;
  ++state_->quietPolls;
  return kBusyPollSeconds;
}

void QtFrontEnd::RunQt() {
  const std::map<Control*, Ref<Control>> changed = std::exchange(state_->changed, {});
  // What the program changed is drawn by Qt in the passes to come.
  if (!changed.empty()) state_->quietPolls = 0;
  for (const auto& [control, keep] : changed) {
    if (WindowView* view = state_->ViewOf(*control)) view->SyncControl(*control);
  }
  for (const auto& [window, view] : state_->views) view->ShowIfWaiting();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Closed windows' widgets were handed to Qt for deletion; outside a Qt event loop they go
  // only when asked for.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace fw
