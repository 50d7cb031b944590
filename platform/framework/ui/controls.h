// The controls a window holds. Settings that the window's layout gives once are plain
// fields; what changes while the window is up goes through setters, which tell the front end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "clock.h"
#include "object.h"
#include "picture.h"

namespace fw {

class Window;

struct Color {
  uint8_t red = 0, green = 0, blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};
inline constexpr Color kBlack{0, 0, 0};
inline constexpr Color kWhite{255, 255, 255};

class Control : public Object {
 public:
  const std::string& Name() const { return name_; }
  // The window the control belongs to; nullptr once the window has dropped its controls.
  Window* Owner() const { return owner_; }

  // Position and size in pixels from the top left corner of the window's content.
  int Left = 0, Top = 0, Width = 0, Height = 0;
  // The window edges the control keeps its distance to when the window is resized.
  bool LockLeft = false, LockTop = false, LockRight = false, LockBottom = false;
  int TabIndex = 0;
  bool TabStop = true;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);

  // Draws the control: now when immediately is true (also while a handler runs), otherwise
  // when the front end next draws.
  void Refresh(bool immediately);

  // The control's Open event: after every control of the window exists.
  std::function<void()> Open;

 protected:
  ~Control() override = default;
  // Tells the front end that what it shows of this control is out of date.
  void Changed();

 private:
  friend class Window;
  std::string name_;
  Window* owner_ = nullptr;
  bool enabled_ = true;
  bool visible_ = true;
};

class StaticText : public Control {
 public:
  bool Multiline = false;
  int TextAlign = 0;  // 0 left
  Color TextColor = kBlack;

  const std::string& Text() const { return text_; }
  void SetText(std::string text);

 private:
  std::string text_;
};

class PushButton : public Control {
 public:
  // Default: Enter presses it; Cancel: Escape presses it.
  bool Default = false;
  bool Cancel = false;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);

  std::function<void()> Action;
  // The user's click: raises Action unless the button is disabled or hidden.
  void Press();

 private:
  std::string caption_;
};

class Canvas : public Control {
 public:
  // The picture the canvas shows; nullptr shows nothing.
  const Ref<Picture>& Backdrop() const { return backdrop_; }
  void SetBackdrop(Ref<Picture> picture);

 private:
  Ref<Picture> backdrop_;
};

class ProgressBar : public Control {
 public:
  int32_t Maximum = 100;

  // A value above Maximum is kept as it is and drawn as a full bar.
  int32_t Value() const { return value_; }
  void SetValue(int32_t value);

 private:
  int32_t value_ = 0;
};

class EditField : public Control {
 public:
  bool ReadOnly = false;
  Color TextColor = kBlack;
  Color BackColor = kWhite;

  const std::string& Text() const { return text_; }
  void SetText(std::string text);
  // The user's typing: sets the text unless the field is disabled or read-only.
  void Type(std::string text);

 private:
  std::string text_;
};

// Runs its Action from the event loop: Mode 0 off, 1 once (Period after the mode was set,
// then off), 2 every Period. An action still running is never started again.
class Timer : public Control {
 public:
  enum : int { kOff = 0, kSingle = 1, kMultiple = 2 };

  int Mode() const { return mode_; }
  void SetMode(int mode);
  int32_t Period() const { return period_; }
  // Restarts the count of a running timer.
  void SetPeriod(int32_t milliseconds);

  std::function<void()> Action;

  // Event-loop side: when the timer fires next (valid while Mode is not 0), and whether its
  // action is running now (then it is not due, however late it is).
  Milliseconds Due() const { return due_; }
  bool Running() const { return running_; }
  // Runs the action if the timer is due, not running and not off.
  void FireIfDue(Milliseconds now);

 protected:
  ~Timer() override;

 private:
  void Schedule();

  int mode_ = kOff;
  int32_t period_ = 1000;
  Milliseconds due_{};
  bool running_ = false;
};

}  // namespace fw
