#include "ui/controls.h"

#include <algorithm>
#include <utility>

#include "ui/event_loop_timers.h"
#include "ui/front_end.h"
#include "ui/window.h"

namespace fw {

void Control::Changed() {
  // Controls are drawn only as part of an open window.
  if (owner_ && owner_->IsOpen()) CurrentFrontEnd().ControlChanged(*this);
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Changed();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Changed();
}

void Control::Refresh(bool immediately) {
  if (!owner_ || !owner_->IsOpen()) return;
  if (immediately) {
    CurrentFrontEnd().RedrawNow(*this);
  } else {
    CurrentFrontEnd().ControlChanged(*this);
  }
}

void StaticText::SetText(std::string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  Changed();
}

void PushButton::SetCaption(std::string caption) {
  if (caption_ == caption) return;
  caption_ = std::move(caption);
  Changed();
}

void PushButton::Press() {
  if (!Enabled() || !Visible() || !Action) return;
  const Ref<Control> keep(this);  // the action may close the window that holds the button
  const std::function<void()> action = Action;
  action();
}

void Canvas::SetBackdrop(Ref<Picture> picture) {
  if (backdrop_ == picture) return;
  backdrop_ = std::move(picture);
  Changed();
}

void ProgressBar::SetValue(int32_t value) {
  if (value_ == value) return;
  value_ = value;
  Changed();
}

void EditField::SetText(std::string text) {
  if (text_ == text) return;
  text_ = std::move(text);
  Changed();
}

void EditField::Type(std::string text) {
  if (Enabled() && !ReadOnly) SetText(std::move(text));
}

Timer::~Timer() { timers::Unschedule(*this); }

void Timer::SetMode(int mode) {
  mode_ = std::clamp(mode, int{kOff}, int{kMultiple});
  Schedule();
}

void Timer::SetPeriod(int32_t milliseconds) {
  period_ = std::max<int32_t>(milliseconds, 0);
  if (mode_ != kOff) Schedule();
}

void Timer::Schedule() {
  if (mode_ == kOff) {
    timers::Unschedule(*this);
    return;
  }
  due_ = Now() + Milliseconds{period_};
  timers::Schedule(*this);
}

void Timer::FireIfDue(Milliseconds now) {
  if (mode_ == kOff || running_ || now < due_ || !Action) return;
  if (mode_ == kSingle) {
    mode_ = kOff;
    timers::Unschedule(*this);
  } else {
    // Counted from now, not from when it was due: a timer held up by a long handler fires
    // once, not once for every period it missed.
    due_ = now + Milliseconds{std::max<int32_t>(period_, 1)};
  }
  const Ref<Control> keep(this);  // the action may close the window that holds the timer
  const std::function<void()> action = Action;
  running_ = true;
  struct ClearWhenDone {
    bool& running;
    ~ClearWhenDone() { running = false; }
  } clear{running_};
  action();
}

}  // namespace fw
