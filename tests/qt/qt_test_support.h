// What the Qt front end's tests share: running the framework's loop or a whole application
// with the Qt front end on the offscreen platform, and measuring what a window shows.
#pragma once

#include <QtGui/QImage>
#include <QtGui/QRgb>

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "frontends/qt/qt_front_end.h"
#include "ui/application.h"
#include "ui/controls.h"

class QRect;
class QWidget;

namespace qt_test {

using namespace std::chrono_literals;

// The exit code RunApplication gives when the program did not quit in time.
inline constexpr int kTimedOut = 98;

// The Qt front end, installed for the test's life; Qt's application object is the test
// program's.
class FrontEnd {
 public:
  FrontEnd() : qt(argc, nullptr) {}
  ~FrontEnd();
  fw::QtFrontEnd* operator->() { return &qt; }
  fw::QtFrontEnd& operator*() { return qt; }

 private:
  int argc = 0;
  fw::QtFrontEnd qt;
};

// An application whose Open event runs open.
class ScriptedApp : public fw::Application {
 public:
  explicit ScriptedApp(std::function<void()> open) : open_(std::move(open)) {}
  void Event_Open() override { open_(); }

 private:
  std::function<void()> open_;
};

// Runs passes of the framework's event loop until done answers true; false when timeout
// passed first or the program quit.
bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s);

// Runs program (which runs the framework's application) while user acts each time Qt runs
// (between the program's handlers and inside its yields); returns program's exit code, or
// kTimedOut when the program had not quit after timeout.
int RunWithUser(const std::function<int()>& program, std::function<void()> user,
                std::chrono::milliseconds timeout = 10s);
// The same for an application whose Open event is open, with menuBar as its menu bar.
int RunApplication(std::function<void()> open, std::function<void()> user, fw::Ref<fw::MenuBar> menuBar = nullptr);

// What widget shows, drawn anew, as 32-bit RGB.
QImage Grab(QWidget& widget);
// What has reached the screen of the top-level widget frame (its buffer on the offscreen
// platform), as 32-bit RGB.
QImage ScreenOf(QWidget& frame);
// Keeps image as build/screenshots/<name>.png, for people to look at.
void SaveScreenshot(const QImage& image, std::string_view name);

QRect RectOf(const fw::Control& control);
// The pixels of rect (clipped to the image) for which test answers true.
int CountPixels(const QImage& image, const QRect& rect, const std::function<bool(QRgb)>& test);
// Pixels dark enough to be text.
bool IsInk(QRgb pixel);
// Pixels of the progress bar's fill: Qt's highlight blue.
bool IsFill(QRgb pixel);
// How many columns of the middle row of bar show its fill.
int FilledColumns(const QImage& image, const QRect& bar);
// How wide the fill of the progress bar's widget is when full: the bar less its frame, as
// Qt's style lays it out.
int FullFillWidth(QWidget& progressBar);

}  // namespace qt_test
