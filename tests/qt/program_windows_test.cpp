// The updater's own windows in the Qt front end, each kept as a screenshot and measured: the
// controls where the window's layout puts them, their texts, nothing drawn anywhere else,
// the progress bar's fill and the pictures. Then the user's keys and clicks on them, and the
// whole update from the click on Start to the final message.
#include <gtest/gtest.h>

#include <QtTest/QTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QMessageBox>
#include <QtWidgets/QPushButton>

#include <string>
#include <vector>

#include "app_harness.h"
#include "console_window.h"
#include "device_dialog.h"
#include "firmware.h"
#include "hid.h"
#include "main_window.h"
#include "menu_bar1.h"
#include "qt_test_support.h"
#include "ui/window.h"

namespace {

using namespace qt_test;

constexpr QRgb kWhite = 0xffffffff;

// A control as the window's layout places it, with the text it shows (nullptr: none).
struct Placed {
  const char* name;
  QRect rect;
  const char* text = nullptr;
};

QString ShownText(const QWidget& widget) {
  if (const auto* label = qobject_cast<const QLabel*>(&widget)) return label->text();
  if (const auto* button = qobject_cast<const QPushButton*>(&widget)) return button->text();
  if (const auto* edit = qobject_cast<const QLineEdit*>(&widget)) return edit->text();
  return {};
}

class QtProgramWindows : public app_test::UpdaterTest {
 protected:
  void SetUp() override {
    UpdaterTest::SetUp();
    HID::datatitle = "Trovak Demo Update";
    HID::dataversion = "Version 1.0 (8 December)";
  }

  // Draws the window's content, keeps it as a screenshot and returns it.
  QImage Shot(const fw::Window& window, std::string_view name) {
    qt->Update();
    const QImage shot = Grab(*qt->ContentOf(window));
    SaveScreenshot(shot, name);
    return shot;
  }

  // Each control's widget at its place with its text, ink where a text is, and nothing but
  // the back colour outside the controls.
  void ExpectLayout(const fw::Window& window, const QImage& shot, const std::vector<Placed>& layout, QRgb back) {
    QRegion controls;
    for (const Placed& placed : layout) {
      SCOPED_TRACE(placed.name);
      const fw::Control* control = window.FindControl(placed.name);
      ASSERT_NE(control, nullptr);
      const QWidget* widget = qt->WidgetOf(*control);
      ASSERT_NE(widget, nullptr);
      EXPECT_EQ(widget->geometry(), placed.rect);
      controls += placed.rect;
      if (placed.text == nullptr) continue;
      EXPECT_EQ(ShownText(*widget), QString::fromUtf8(placed.text));
      // Glyphs, in grey too (a disabled button's caption), inside a button's bevel.
      const auto glyph = [](QRgb pixel) { return qGray(pixel) < 200; };
      if (*placed.text != '\0') {
        EXPECT_GT(CountPixels(shot, placed.rect.adjusted(3, 3, -3, -3), glyph), 15) << "the text is drawn";
      }
    }
    int strays = 0;
    for (int y = 0; y < shot.height(); ++y) {
      for (int x = 0; x < shot.width(); ++x) strays += !controls.contains(QPoint(x, y)) && shot.pixel(x, y) != back;
    }
    EXPECT_EQ(strays, 0) << "pixels drawn outside every control";
  }

  static int Blank(const QImage& shot, const QRect& rect) {
    return CountPixels(shot, rect, [](QRgb pixel) { return pixel == kWhite; });
  }

  FrontEnd qt;  // over the harness's scripted front end while the test runs
};

TEST_F(QtProgramWindows, TheSearchDialogStandsAsLaidOutAndItsMissingPicturesLeaveBlankCanvases) {
  const fw::Ref<class DeviceDialog> dialog = DeviceDialog();
  const QImage shot = Shot(*dialog, "device_dialog");
  const QWidget& frame = *qt->FrameOf(*dialog);
  EXPECT_EQ(shot.size(), QSize(400, 222));
  EXPECT_EQ(frame.windowTitle(), "Trovak Demo Update");
  EXPECT_FALSE(frame.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
  ExpectLayout(*dialog, shot,
               {{"StaticText2", {20, 14, 156, 20}, "Searching USB device..."},
                {"PushButton1", {288, 182, 92, 20}, "Cancel"},
                {"StaticText1", {20, 182, 256, 20}, "Version 1.0 (8 December)"},
                {"Canvas1", {230, 14, 150, 71}},
                {"Canvas2", {20, 42, 128, 128}}},
               kWhite);
  // Neither the maker's picture nor a logo could be read.
  EXPECT_EQ(Blank(shot, {230, 14, 150, 71}), 150 * 71);
  EXPECT_EQ(Blank(shot, {20, 42, 128, 128}), 128 * 128);
}

TEST_F(QtProgramWindows, TheMainWindowAtRestDuringProgrammingAndAtTheFinish) {
  WriteMakerPicture();
  const fw::Ref<class mainWindow> window = mainWindow();
  const QRect bar(160, 128, 460, 20);
  const auto layout = [&](const char* headline, const char* status) {
    return std::vector<Placed>{{"Canvas1", {470, 14, 150, 71}},
                               {"bar", bar},
                               {"StaticText1", {160, 14, 298, 20}, headline},
                               {"info", {160, 46, 298, 20}, status},
                               {"Cancelbutton", {524, 160, 96, 20}, "Abbrechen"},
                               {"version", {20, 160, 384, 20}, "Version 1.0 (8 December)"},
                               {"StartButton", {416, 160, 96, 20}, "Start"},
                               {"Canvas2", {20, 14, 128, 128}}};
  };

  const QImage rest = Shot(*window, "main_window_at_rest");
  EXPECT_EQ(rest.size(), QSize(640, 200));
  EXPECT_EQ(qt->FrameOf(*window)->windowTitle(), "Trovak Demo Update");
  ExpectLayout(*window, rest, layout("Ready to install the update.", ""), kWhite);
  EXPECT_EQ(FilledColumns(rest, bar), 0);
  EXPECT_GT(150 * 71 - Blank(rest, {470, 14, 150, 71}), 150 * 71 / 2) << "the maker's picture";
  EXPECT_EQ(Blank(rest, {20, 14, 128, 128}), 128 * 128) << "no logo without an update";

  window->StaticText1->SetText("Installing new firmware... Do not disconnect.");
  window->info->SetText("Programming device...");
  window->StartButton->SetEnabled(false);
  window->Cancelbutton->SetEnabled(false);
  window->bar->SetValue(200);
  const QImage programming = Shot(*window, "main_window_programming");
  ExpectLayout(*window, programming,
               layout("Installing new firmware... Do not disconnect.", "Programming device..."), kWhite);
  EXPECT_FALSE(qt->WidgetOf(*window->StartButton)->isEnabled());
  const int partly = FilledColumns(programming, bar);

  window->StaticText1->SetText("New firmware installed.");
  window->info->SetText("Done.");
  window->bar->SetValue(520);  // past the maximum of 500
  const QImage finished = Shot(*window, "main_window_finished");
  ExpectLayout(*window, finished, layout("New firmware installed.", "Done."), kWhite);
  const int full = FilledColumns(finished, bar);
  EXPECT_NEAR(full, FullFillWidth(*qt->WidgetOf(*window->bar)), 2) << "full across all but the bar's frame";
  EXPECT_NEAR(partly, full * 200 / 500, 3);
}

TEST_F(QtProgramWindows, TheConsoleStandsAsLaidOutAndItsLockedFieldsFollowAResize) {
  const fw::Ref<class ConsoleWindow> console = ConsoleWindow();
  const QImage shot = Shot(*console, "console_window");
  EXPECT_EQ(shot.size(), QSize(600, 400));
  EXPECT_EQ(qt->FrameOf(*console)->windowTitle(), "Ohne Titel");
  EXPECT_TRUE(qt->FrameOf(*console)->windowFlags() & Qt::WindowCloseButtonHint);
  // No back colour of its own: the toolkit's.
  const QRgb back = qt->ContentOf(*console)->palette().color(QPalette::Window).rgb();
  EXPECT_NE(back, kWhite);
  ExpectLayout(*console, shot,
               {{"PushButton1", {20, 14, 95, 20}, "Startnext"},
                {"PushButton2", {458, 12, 122, 20}, "Query Device"},
                {"Empfangen", {20, 358, 560, 22}, ""},
                {"Versendet", {20, 292, 560, 22}, ""},
                {"StaticText1", {20, 326, 100, 20}, "Empfangen:"},
                {"StaticText2", {20, 260, 100, 20}, "Versendet:"},
                {"iAddress", {127, 45, 122, 22}, ""},
                {"StaticText3", {20, 46, 100, 20}, "Address:"},
                {"PushButton3", {20, 78, 80, 20}, "Read"},
                {"output", {261, 44, 319, 22}, ""},
                {"PushButton4", {112, 78, 80, 20}, "Write"},
                {"PushButton5", {204, 78, 80, 20}, "Complete"},
                {"PushButton6", {127, 14, 95, 20}, "Startall"},
                {"PushButton7", {296, 78, 80, 20}, "Erase"}},
               back);
  EXPECT_EQ(shot.pixel(300, 369), kWhite) << "inside an edit field";

  QWidget& frame = *qt->FrameOf(*console);
  frame.windowHandle()->resize(700, frame.height() + 50);
  ASSERT_TRUE(RunUntil([&] { return console->Width() == 700; }));
  EXPECT_EQ(qt->WidgetOf(*console->Empfangen)->geometry(), QRect(20, 408, 660, 22));
  EXPECT_EQ(qt->WidgetOf(*console->output)->geometry(), QRect(261, 44, 419, 22));
  EXPECT_EQ(qt->WidgetOf(*console->StaticText1)->geometry(), QRect(20, 376, 100, 20));
  SaveScreenshot(Grab(*qt->ContentOf(*console)), "console_window_resized");
}

TEST_F(QtProgramWindows, TheMenuBarHoldsTheProgramsMenusAndItsEditItemsActOnTheFocusedField) {
  qt->MenuBarInstalled(*::MenuBar1());
  const fw::Ref<class ConsoleWindow> console = ConsoleWindow();
  qt->Update();
  const auto* menuBar = qt->FrameOf(*console)->findChild<QMenuBar*>();
  ASSERT_NE(menuBar, nullptr);
  QStringList shown;
  for (const QAction* title : menuBar->actions()) {
    shown << title->text();
    for (const QAction* item : title->menu()->actions()) {
      shown << (item->isSeparator() ? QStringLiteral("-") : item->text() + QLatin1Char(' ') + item->shortcut().toString());
    }
  }
  SaveScreenshot(Grab(*qt->FrameOf(*console)), "console_window_with_menu_bar");
  EXPECT_EQ(shown, (QStringList{"File", "Beenden Ctrl+Q", "Edit", "Undo Ctrl+Z", "-", "Cut Ctrl+X", "Copy Ctrl+C",
                                "Paste Ctrl+V", "Delete ", "-", "Select all Ctrl+A"}));

  const auto item = [&](const QString& text) {
    for (QAction* title : menuBar->actions()) {
      for (QAction* action : title->menu()->actions()) {
        if (action->text() == text) return action;
      }
    }
    return static_cast<QAction*>(nullptr);
  };
  auto& address = static_cast<QLineEdit&>(*qt->WidgetOf(*console->iAddress));
  QApplication::setActiveWindow(qt->FrameOf(*console));
  address.setFocus();
  QTest::keyClicks(&address, "&h800");
  item("Select all")->trigger();
  item("Cut")->trigger();
  EXPECT_EQ(address.text(), "");
  ASSERT_TRUE(RunUntil([&] { return console->iAddress->Text().empty(); })) << "the cut reaches the program";
  item("Paste")->trigger();
  ASSERT_TRUE(RunUntil([&] { return console->iAddress->Text() == "&h800"; }));
  item("Undo")->trigger();
  EXPECT_EQ(address.text(), "");
}

// The user's actions on the running program.
TEST_F(QtProgramWindows, ClickingStartRunsTheProgramsHandler) {
  const fw::Ref<class mainWindow> window = mainWindow();
  qt->Update();
  QTest::mouseClick(qt->WidgetOf(*window->StartButton), Qt::LeftButton);
  ASSERT_TRUE(RunUntil([&] { return !window->StartButton->Enabled(); }));
  window->Timer1->SetMode(fw::Timer::kOff);  // no device here to run the steps on
  qt->Update();
  EXPECT_FALSE(qt->WidgetOf(*window->StartButton)->isEnabled());
  EXPECT_EQ(ShownText(*qt->WidgetOf(*window->StaticText1)), "Installing new firmware... Do not disconnect.");
}

TEST_F(QtProgramWindows, CancelEscapeAndCtrlQEachEndTheProgramWithZero) {
  WriteUpdate(app_test::IntelHex({}));
  const auto searchDialog = [&]() -> QWidget* {
    fw::Window* dialog = fw::FindOpenWindow(DeviceDialog::kClassName);
    QWidget* frame = dialog ? qt->FrameOf(*dialog) : nullptr;
    return frame && frame->isVisible() ? frame : nullptr;
  };
  const auto runPressing = [&](const std::function<void(QWidget& frame)>& press) {
    return RunWithUser([this] { return RunUpdater(); }, [&] {
      if (QWidget* frame = searchDialog()) {
        EXPECT_EQ(frame->windowModality(), Qt::ApplicationModal);
        press(*frame);
      }
    });
  };
  EXPECT_EQ(runPressing([&](QWidget& frame) {
              QTest::mouseClick(frame.findChild<QPushButton*>("PushButton1"), Qt::LeftButton);
            }),
            0);
  EXPECT_EQ(runPressing([](QWidget& frame) { QTest::keyClick(&frame, Qt::Key_Escape); }), 0);
  EXPECT_EQ(runPressing([](QWidget& frame) {
              QApplication::setActiveWindow(&frame);
              QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
            }),
            0);
  EXPECT_FALSE(HID::DeviceFound);
}

TEST_F(QtProgramWindows, TheWholeUpdateRunsInRealWindowsFromAClickOnStartToTheFinalMessageClosedWithEnter) {
  // A firmware for both of the simulator's default regions: code at 0x800, configuration at
  // 0x10000.
  WriteUpdate(app_test::FirmwareFor({{0, 0x800, 0x1000}, {1, 0x10000, 64}}).intelHex, "1.0", "Trovak Demo Update");
  WriteMakerPicture();
  StartDevice(DeviceOptions());
  const QRect bar(160, 128, 460, 20);
  QImage ready, programming;
  int32_t programmedValue = 0;
  int fullFill = 0;
  QString finalMessage;
  // The quit item while programming (quitting is held, so Ctrl+Q does nothing) and with the
  // final message up (the update has ended).
  bool quitEnabledWhileProgramming = true;
  bool quitEnabledAtTheEnd = false;
  const auto quitItem = [](const QWidget& frame) { return frame.findChild<QAction*>("FileQuit"); };
  const int exitCode = RunWithUser([this] { return RunUpdater(); }, [&] {
    auto* window = dynamic_cast<class mainWindow*>(fw::FindOpenWindow(mainWindow::kClassName));
    QWidget* content = window ? qt->ContentOf(*window) : nullptr;
    if (content == nullptr || !content->isVisible()) return;
    if (ready.isNull()) {
      ready = Grab(*content);
      SaveScreenshot(ready, "update_ready");
      QTest::mouseClick(qt->WidgetOf(*window->StartButton), Qt::LeftButton);
      return;
    }
    // Inside the programming step, which yields to Qt as it goes: what the screen shows
    // there was drawn while the step ran.
    const int32_t value = window->bar->Value();
    if (programming.isNull() && window->count == 6 && value > 20 && value < 100) {
      QWidget& frame = *qt->FrameOf(*window);
      programming = ScreenOf(frame).copy(QRect(content->pos(), content->size()));
      programmedValue = value;
      fullFill = FullFillWidth(*qt->WidgetOf(*window->bar));
      SaveScreenshot(programming, "update_programming");
      ASSERT_NE(quitItem(frame), nullptr);
      quitEnabledWhileProgramming = quitItem(frame)->isEnabled();
      QApplication::setActiveWindow(&frame);
      QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
    }
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); box && finalMessage.isEmpty()) {
      finalMessage = box->text();
      quitEnabledAtTheEnd = quitItem(*qt->FrameOf(*window))->isEnabled();
      SaveScreenshot(Grab(*content), "update_finished");
      QTest::keyClick(box, Qt::Key_Return);
    }
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(finalMessage, "Update installed.\n\nPlease disconnect the device and turn it off.");
  EXPECT_FALSE(quitEnabledWhileProgramming);
  EXPECT_TRUE(quitEnabledAtTheEnd);
  ASSERT_FALSE(ready.isNull());
  EXPECT_GT(128 * 128 - Blank(ready, {20, 14, 128, 128}), 128 * 128 / 2) << "the logo";
  EXPECT_GT(150 * 71 - Blank(ready, {470, 14, 150, 71}), 150 * 71 / 2) << "the maker's picture";
  ASSERT_FALSE(programming.isNull()) << "the bar was never seen partly filled";
  EXPECT_NEAR(FilledColumns(programming, bar), fullFill * programmedValue / 500, 3);
}

}  // namespace
