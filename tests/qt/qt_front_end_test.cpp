// The Qt front end with windows of the tests' own: where windows and controls stand, what
// reaches the program when the user acts, and what is drawn when.
#include <gtest/gtest.h>

#include <QtCore/QPointer>
#include <QtGui/QWindow>
#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <string>
#include <vector>

#include "alerts.h"
#include "background_task.h"
#include "qt_test_support.h"
#include "ui/event_loop.h"
#include "ui/window.h"

namespace {

using namespace qt_test;

struct Settings {
  bool closeButton = true;
};

// Every kind of control that shows something, each at a rectangle of its own.
class Sample : public fw::Window {
 public:
  explicit Sample(Settings settings = {}) : Window("Sample"), settings_(settings) {}

  std::vector<std::string> ran;
  fw::Ref<fw::StaticText> label;
  fw::Ref<fw::PushButton> ok;
  fw::Ref<fw::PushButton> cancel;
  fw::Ref<fw::EditField> field;
  fw::Ref<fw::ProgressBar> bar;
  fw::Ref<fw::Canvas> canvas;
  fw::Ref<fw::Timer> timer;
  int ticks = 0;

 protected:
  void Layout() override {
    SetSize(320, 200);
    SetLeft(40);
    SetTop(90);
    SetTitle("Sample window");
    HasBackColor = true;
    CloseButton = settings_.closeButton;
  }
  void CreateControls() override {
    label = Add<fw::StaticText>("Label", 10, 10, 150, 40, 3);
    label->Multiline = true;
    label->SetText("Line one\nLine two");
    ok = Add<fw::PushButton>("OK", 230, 10, 80, 20, 2);
    ok->SetCaption("OK");
    ok->Default = true;
    ok->Action = [this] { ran.push_back("ok"); };
    cancel = Add<fw::PushButton>("Cancel", 230, 40, 80, 20, 0);
    cancel->SetCaption("Cancel");
    cancel->Cancel = true;
    cancel->Action = [this] { ran.push_back("cancel"); };
    field = Add<fw::EditField>("Field", 10, 168, 300, 22, 1);
    field->LockLeft = field->LockRight = field->LockBottom = true;
    bar = Add<fw::ProgressBar>("Bar", 10, 60, 200, 20, 4);
    canvas = Add<fw::Canvas>("Canvas", 220, 70, 90, 60, 5);
    timer = AddControl<fw::Timer>("Timer");
    timer->SetPeriod(10);
    timer->Action = [this] { ++ticks; };
  }

 private:
  template <class T>
  fw::Ref<T> Add(std::string name, int left, int top, int width, int height, int tabIndex) {
    fw::Ref<T> control = AddControl<T>(std::move(name));
    control->Left = left, control->Top = top, control->Width = width, control->Height = height;
    control->TabIndex = tabIndex;
    return control;
  }

  Settings settings_;
};

class QtWindows : public ::testing::Test {
 protected:
  fw::Ref<Sample> Open(Settings settings = {}) {
    fw::Ref<Sample> window = fw::MakeRef<Sample>(settings);
    window->Build();
    frontEnd->Update();
    return window;
  }
  QWidget& Widget(const fw::Control& control) { return *frontEnd->WidgetOf(control); }

  FrontEnd frontEnd;
};

TEST_F(QtWindows, TheContentIsTheModelsSizeAtItsPlaceBelowTheMenuBarWithItsTitleAndBackColour) {
  const fw::Ref<fw::MenuBar> menus = fw::MakeRef<fw::MenuBar>();
  const fw::Ref<fw::MenuItem> file = fw::MakeRef<fw::MenuItem>();
  file->Text = "File";
  menus->Append(file);
  frontEnd->MenuBarInstalled(*menus);
  const fw::Ref<Sample> window = Open();

  QWidget& frame = *frontEnd->FrameOf(*window);
  QWidget& content = *frontEnd->ContentOf(*window);
  ASSERT_TRUE(frame.isVisible());
  EXPECT_EQ(content.size(), QSize(320, 200));
  EXPECT_EQ(content.mapToGlobal(QPoint(0, 0)), QPoint(40, 90));
  EXPECT_EQ(frame.windowTitle(), "Sample window");
  const auto* menuBar = frame.findChild<QMenuBar*>();
  ASSERT_NE(menuBar, nullptr);
  EXPECT_GT(menuBar->height(), 0);
  EXPECT_EQ(menuBar->geometry().bottom() + 1, content.y()) << "the menu bar stands right above the content";
  const QImage shot = Grab(content);
  EXPECT_EQ(shot.pixel(5, 150), qRgb(255, 255, 255)) << "white where no control is";
}

TEST_F(QtWindows, ControlsStandAtTheirRectanglesWithTheModelsTextsInTabOrder) {
  const fw::Ref<Sample> window = Open();
  for (const fw::Ref<fw::Control>& control : window->Controls()) {
    const QWidget* widget = frontEnd->WidgetOf(*control);
    if (dynamic_cast<fw::Timer*>(control.get()) != nullptr) {
      EXPECT_EQ(widget, nullptr) << "timers show nothing";
    } else {
      ASSERT_NE(widget, nullptr) << control->Name();
      EXPECT_EQ(widget->geometry(), RectOf(*control)) << control->Name();
    }
  }
  EXPECT_EQ(static_cast<QLabel&>(Widget(*window->label)).text(), "Line one\nLine two");
  EXPECT_EQ(static_cast<QPushButton&>(Widget(*window->ok)).text(), "OK");
  // Tab indexes: Cancel 0, Field 1, OK 2; the others take no focus.
  const auto nextTabStop = [](QWidget& from) {
    QWidget* next = from.nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    return next;
  };
  EXPECT_EQ(nextTabStop(Widget(*window->cancel)), &Widget(*window->field));
  EXPECT_EQ(nextTabStop(Widget(*window->field)), &Widget(*window->ok));
  EXPECT_EQ(nextTabStop(Widget(*window->ok)), &Widget(*window->cancel));

  const QImage shot = Grab(*frontEnd->ContentOf(*window));
  EXPECT_GT(CountPixels(shot, QRect(10, 10, 150, 20), IsInk), 20) << "the first line";
  EXPECT_GT(CountPixels(shot, QRect(10, 30, 150, 20), IsInk), 20) << "the second line";
  SaveScreenshot(shot, "sample_window");
}

TEST_F(QtWindows, ClicksEnterAndEscapePressButtonsOnlyFromTheEventLoop) {
  const fw::Ref<Sample> window = Open();
  QTest::mouseClick(&Widget(*window->cancel), Qt::LeftButton);
  EXPECT_TRUE(window->ran.empty()) << "queued, not run from Qt's signal";
  ASSERT_TRUE(RunUntil([&] { return window->ran.size() == 1; }));
  QTest::keyClick(&Widget(*window->field), Qt::Key_Return);
  ASSERT_TRUE(RunUntil([&] { return window->ran.size() == 2; }));
  QTest::keyClick(&Widget(*window->field), Qt::Key_Escape);
  ASSERT_TRUE(RunUntil([&] { return window->ran.size() == 3; }));
  EXPECT_EQ(window->ran, (std::vector<std::string>{"cancel", "ok", "cancel"}));

  window->ok->SetEnabled(false);
  frontEnd->Update();
  EXPECT_FALSE(Widget(*window->ok).isEnabled());
  QTest::keyClick(&Widget(*window->field), Qt::Key_Return);
  QTest::mouseClick(&Widget(*window->cancel), Qt::LeftButton);
  ASSERT_TRUE(RunUntil([&] { return window->ran.size() == 4; }));
  EXPECT_EQ(window->ran.back(), "cancel") << "a disabled default button takes no Enter";
}

TEST_F(QtWindows, TypingGoesToTheModelAndTheProgramsTextToTheField) {
  const fw::Ref<Sample> window = Open();
  auto& edit = static_cast<QLineEdit&>(Widget(*window->field));
  QTest::keyClicks(&edit, "12ab");
  QTest::keyClick(&edit, Qt::Key_Home);
  EXPECT_EQ(window->field->Text(), "") << "queued";
  ASSERT_TRUE(RunUntil([&] { return window->field->Text() == "12ab"; }));
  EXPECT_EQ(edit.text(), "12ab");
  EXPECT_EQ(edit.cursorPosition(), 0) << "the model's older texts never replaced what was typed";

  window->field->SetText("from the program");
  frontEnd->Update();
  EXPECT_EQ(edit.text(), "from the program");
}

TEST_F(QtWindows, TheCloseBoxClosesTheWindowThroughTheModelOnlyWhenItHasOne) {
  const fw::Ref<Sample> boxless = Open({.closeButton = false});
  frontEnd->FrameOf(*boxless)->close();
  const fw::Ref<Sample> closable = Open();
  const QPointer<QWidget> frame = frontEnd->FrameOf(*closable);
  frame->close();
  EXPECT_TRUE(closable->IsOpen()) << "queued";
  ASSERT_TRUE(RunUntil([&] { return !closable->IsOpen(); }));
  EXPECT_TRUE(boxless->IsOpen());
  EXPECT_EQ(frontEnd->FrameOf(*closable), nullptr);
  frontEnd->Update();
  EXPECT_TRUE(frame.isNull()) << "its widgets are deleted once Qt runs";
}

TEST_F(QtWindows, RefreshNowReachesTheScreenInsideAHandlerWhileOtherChangesWaitForTheLoop) {
  const fw::Ref<Sample> window = Open();
  QWidget& frame = *frontEnd->FrameOf(*window);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  frontEnd->Update();
  const QRect label = RectOf(*window->label).translated(frontEnd->ContentOf(*window)->pos());
  const auto inkOnScreen = [&] { return CountPixels(ScreenOf(frame), label, IsInk); };
  ASSERT_GT(inkOnScreen(), 20);

  // All of this as one handler would do it, without the event loop running in between.
  window->label->SetText("");
  EXPECT_GT(inkOnScreen(), 20) << "drawn when the loop runs";
  window->label->Refresh(true);
  EXPECT_EQ(inkOnScreen(), 0) << "drawn at once";
  window->label->SetText("Back");
  frontEnd->Update();
  EXPECT_GT(inkOnScreen(), 10);
}

TEST_F(QtWindows, TheBarIsEmptyAtZeroFullAboveItsMaximumAndEmptyWithoutAMaximum) {
  const fw::Ref<Sample> window = Open();
  const auto fill = [&](int32_t maximum, int32_t value) {
    window->bar->Maximum = maximum;
    window->bar->SetValue(value);
    window->bar->Refresh(false);
    frontEnd->Update();
    return FilledColumns(Grab(*frontEnd->ContentOf(*window)), RectOf(*window->bar));
  };
  EXPECT_EQ(fill(500, 0), 0);
  EXPECT_EQ(fill(500, 100000), FullFillWidth(*frontEnd->WidgetOf(*window->bar))) << "never an error";
  EXPECT_EQ(fill(0, 7), 0) << "no maximum: empty, not Qt's busy bar";
}

TEST_F(QtWindows, ACanvasDrawsItsPictureAtItsOwnSizeFromTheTopLeftClippedAndNothingWithout) {
  const fw::Ref<Sample> window = Open();
  const QRect canvas = RectOf(*window->canvas);
  const auto blank = [](QRgb pixel) { return pixel == qRgb(255, 255, 255); };
  EXPECT_EQ(CountPixels(Grab(*frontEnd->ContentOf(*window)), canvas, blank), canvas.width() * canvas.height());

  // Wider than the canvas, less high.
  const fw::Ref<fw::Picture> picture = fw::Picture::Create(120, 30);
  for (size_t y = 0; y < 30; ++y) {
    const std::span<uint8_t> row = picture->Row(y);
    for (size_t x = 0; x < 120; ++x) {
      row[x * 4] = 200;
      row[x * 4 + 3] = 255;  // opaque red
    }
  }
  window->canvas->SetBackdrop(picture);
  frontEnd->Update();
  const QImage shot = Grab(*frontEnd->ContentOf(*window));
  const auto red = [](QRgb pixel) { return pixel == qRgb(200, 0, 0); };
  EXPECT_EQ(CountPixels(shot, QRect(canvas.left(), canvas.top(), canvas.width(), 30), red), canvas.width() * 30);
  EXPECT_EQ(CountPixels(shot, QRect(canvas.left(), canvas.top() + 30, canvas.width(), 30), blank), canvas.width() * 30);
  EXPECT_EQ(CountPixels(shot, QRect(canvas.right() + 1, canvas.top(), 10, 30), red), 0) << "clipped to the canvas";
}

TEST_F(QtWindows, QtIsPolledOftenWhileSomethingHappensAndSeldomOnceAllIsQuiet) {
  const fw::Ref<Sample> window = Open();
  const auto pollsUntilIdle = [&] {
    int busy = 0;
    while (frontEnd->MaxWaitSeconds() == fw::QtFrontEnd::kBusyPollSeconds && busy <= 1000) ++busy;
    return busy;
  };
  EXPECT_EQ(pollsUntilIdle(), fw::QtFrontEnd::kQuietPollsBeforeIdle);
  EXPECT_EQ(frontEnd->MaxWaitSeconds(), fw::QtFrontEnd::kIdlePollSeconds) << "stays idle";

  QTest::keyClick(frontEnd->WidgetOf(*window->field), Qt::Key_A);
  EXPECT_EQ(pollsUntilIdle(), fw::QtFrontEnd::kQuietPollsBeforeIdle) << "the user typed";
  window->label->SetText("changed by the program");
  frontEnd->Update();
  EXPECT_EQ(pollsUntilIdle(), fw::QtFrontEnd::kQuietPollsBeforeIdle) << "the program changed a control";
}

// The program's message boxes, its menus and its long handlers, with the application running.
TEST(QtApplication, AMessageBoxShowsItsTextVerbatimAndEnterDismissesIt) {
  FrontEnd frontEnd;
  std::vector<std::string> ran;
  QString shown;
  const int exitCode = RunApplication(
      [&] {
        fw::MsgBox("First line\r\n\r\nThird <b>line</b>");
        ran.push_back("returned");
        fw::Quit(3);
      },
      [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || !shown.isEmpty()) return;
        shown = box->text();
        SaveScreenshot(Grab(*box), "message_box");
        QTest::keyClick(box, Qt::Key_Return);
      });
  EXPECT_EQ(exitCode, 3);
  EXPECT_EQ(shown, "First line\n\nThird <b>line</b>");
  EXPECT_EQ(ran, std::vector<std::string>{"returned"});
}

TEST(QtApplication, TimersGoOnWhileAMessageBoxIsUp) {
  FrontEnd frontEnd;
  fw::Ref<Sample> window;
  const int exitCode = RunApplication(
      [&] {
        window = fw::MakeRef<Sample>();
        window->Build();
        window->timer->SetMode(fw::Timer::kMultiple);
        fw::MsgBox("Waiting");
        fw::Quit(0);
      },
      [&] {
        // A box in a modal loop of Qt's own would stop the timer, and the test would time out.
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && window->ticks >= 5) QTest::keyClick(box, Qt::Key_Return);
      });
  EXPECT_EQ(exitCode, 0);
}

TEST(QtApplication, QuittingWhileAMessageBoxIsUpClosesIt) {
  FrontEnd frontEnd;
  fw::Ref<Sample> window;
  const int exitCode = RunApplication(
      [&] {
        window = fw::MakeRef<Sample>();
        window->Build();
        window->timer->Action = [] { fw::Quit(4); };
        window->timer->SetMode(fw::Timer::kSingle);
        fw::MsgBox("Left up");
      },
      [] {});
  EXPECT_EQ(exitCode, 4);
  for (const QWidget* widget : QApplication::topLevelWidgets()) EXPECT_FALSE(widget->isVisible());
}

TEST(QtApplication, YieldKeepsTheWindowsResponsiveButDeliversTheirInputOnlyOnceTheHandlerReturned) {
  FrontEnd frontEnd;
  fw::Ref<Sample> window;
  bool clickedOk = false;
  bool clickedInside = false;
  const int exitCode = RunApplication(
      [&] {
        window = fw::MakeRef<Sample>();
        window->Build();
        window->ok->Action = [&] {
          window->ran.push_back("long handler");
          const auto giveUp = std::chrono::steady_clock::now() + 3s;
          while (!clickedInside && std::chrono::steady_clock::now() < giveUp) fw::RuntimeBackgroundTask();
          window->ran.push_back(clickedInside ? "clicked meanwhile" : "nothing came");
        };
        window->cancel->Action = [&] {
          window->ran.push_back("cancel");
          fw::Quit(0);
        };
      },
      [&] {
        if (!window) return;
        if (!clickedOk && frontEnd->WidgetOf(*window->ok)->isVisible()) {
          QTest::mouseClick(frontEnd->WidgetOf(*window->ok), Qt::LeftButton);
          clickedOk = true;
        } else if (window->ran.size() == 1 && !clickedInside) {
          QTest::mouseClick(frontEnd->WidgetOf(*window->cancel), Qt::LeftButton);
          clickedInside = true;
        }
      });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(window->ran, (std::vector<std::string>{"long handler", "clicked meanwhile", "cancel"}));
}

}  // namespace
