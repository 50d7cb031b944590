#include "qt_test_support.h"

#include <QtCore/QDir>
#include <QtCore/QTimer>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QProgressBar>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyleOptionProgressBar>
#include <QtWidgets/QWidget>

#include <gtest/gtest.h>

#include "ui/event_loop.h"
#include "ui/window.h"

namespace qt_test {

FrontEnd::~FrontEnd() {
  fw::CloseAllWindows();
  fw::ResetEventLoop();
  qt.Update();
}

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (fw::QuitRequested() || std::chrono::steady_clock::now() > deadline) return false;
    fw::RunEventLoopPass();
  }
  return true;
}

int RunWithUser(const std::function<int()>& program, std::function<void()> user, std::chrono::milliseconds timeout) {
  // A zero timer runs on every run of Qt's event processing.
  QTimer userTimer;
  QObject::connect(&userTimer, &QTimer::timeout, std::move(user));
  userTimer.start(0);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, [] { fw::Quit(kTimedOut); });
  deadline.start(static_cast<int>(timeout.count()));
  return program();
}

int RunApplication(std::function<void()> open, std::function<void()> user, fw::Ref<fw::MenuBar> menuBar) {
  const fw::Ref<ScriptedApp> app = fw::MakeRef<ScriptedApp>(std::move(open));
  app->SetMenuBar(std::move(menuBar));
  fw::SetApplication(app);
  const int exitCode = RunWithUser(&fw::RunApplication, std::move(user));
  fw::ReleaseApplication();
  return exitCode;
}

QImage Grab(QWidget& widget) { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }

QImage ScreenOf(QWidget& frame) {
  QScreen* screen = frame.windowHandle() ? frame.windowHandle()->screen() : QGuiApplication::primaryScreen();
  return screen->grabWindow(frame.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

void SaveScreenshot(const QImage& image, std::string_view name) {
  const QString folder = QStringLiteral(UPDATER_SCREENSHOT_DIR);
  QDir().mkpath(folder);
  const QString path = folder + QLatin1Char('/') + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
                       QStringLiteral(".png");
  EXPECT_TRUE(image.save(path)) << path.toStdString();
}

QRect RectOf(const fw::Control& control) { return QRect(control.Left, control.Top, control.Width, control.Height); }

int CountPixels(const QImage& image, const QRect& rect, const std::function<bool(QRgb)>& test) {
  const QRect inside = rect.intersected(image.rect());
  int count = 0;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) count += test(image.pixel(x, y)) ? 1 : 0;
  }
  return count;
}

bool IsInk(QRgb pixel) { return qGray(pixel) < 128; }

bool IsFill(QRgb pixel) { return qBlue(pixel) - qRed(pixel) > 60; }

int FilledColumns(const QImage& image, const QRect& bar) {
  return CountPixels(image, QRect(bar.left(), bar.center().y(), bar.width(), 1), IsFill);
}

}  // namespace qt_test

namespace qt_test {

int FullFillWidth(QWidget& progressBar) {
  QStyleOptionProgressBar option;
  option.initFrom(&progressBar);
  return progressBar.style()->subElementRect(QStyle::SE_ProgressBarContents, &option, &progressBar).width();
}

}  // namespace qt_test
