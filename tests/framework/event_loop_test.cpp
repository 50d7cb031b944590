// The framework's event loop, windows and timers, driven through the scripted front end on
// virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

#include "alerts.h"
#include "clock.h"
#include "frontends/scripted_front_end.h"
#include "ticks.h"
#include "ui/application.h"
#include "ui/event_loop.h"
#include "ui/quit_signals.h"
#include "ui/window.h"

namespace {

using fw::Milliseconds;

// A window with one button, one text, one edit field and one timer, recording what ran.
class TestWindow : public fw::Window {
 public:
  explicit TestWindow(std::string className = "TestWindow") : Window(std::move(className)) {}

  std::vector<std::string> ran;
  fw::Ref<fw::PushButton> button;
  fw::Ref<fw::StaticText> text;
  fw::Ref<fw::EditField> field;
  fw::Ref<fw::Timer> timer;

 protected:
  void Layout() override {
    SetSize(400, 200);
    SetTitle("Test");
  }
  void CreateControls() override {
    button = AddControl<fw::PushButton>("Button");
    button->SetCaption("Go");
    button->Action = [this] { ran.push_back("button"); };
    text = AddControl<fw::StaticText>("Text");
    text->Open = [this] { ran.push_back("text open"); };
    field = AddControl<fw::EditField>("Field");
    field->Left = 10;
    field->Top = 150;
    field->Width = 380;
    field->LockLeft = field->LockRight = field->LockBottom = true;
    timer = AddControl<fw::Timer>("Timer");
    timer->SetPeriod(100);
    timer->Action = [this] { ran.push_back("timer at " + std::to_string(fw::Now().count())); };
  }
  void Event_Open() override { ran.push_back("window open"); }
};

class FrameworkEventLoop : public ::testing::Test {
 protected:
  ~FrameworkEventLoop() override {
    fw::CloseAllWindows();
    fw::ResetEventLoop();
  }

  // Runs the loop until done or until virtual time passes the limit.
  void RunFor(Milliseconds span) {
    const Milliseconds end = clock.now + span;
    fw::RunEventLoopUntil([&] { return clock.now >= end; });
  }

  fw::VirtualClock clock{Milliseconds{1000}};
  fw::ScriptedFrontEnd frontEnd;
};

TEST_F(FrameworkEventLoop, BuildingRaisesTheControlsOpenEventsThenTheWindowsAndShowsIt) {
  auto window = fw::ImplicitInstance<TestWindow>("TestWindow");
  EXPECT_EQ(window->ran, (std::vector<std::string>{"text open", "window open"}));
  EXPECT_EQ(frontEnd.log, (std::vector<std::string>{"open TestWindow"}));
  EXPECT_EQ(fw::ImplicitInstance<TestWindow>("TestWindow"), window) << "one instance while open";
  window->Close();
  EXPECT_NE(fw::ImplicitInstance<TestWindow>("TestWindow"), window) << "a new one once closed";
}

TEST_F(FrameworkEventLoop, ASingleTimerFiresOncePeriodAfterItsModeWasSetAndARepeatingOneKeepsGoing) {
  auto window = fw::ImplicitInstance<TestWindow>("TestWindow");
  window->ran.clear();
  window->timer->SetMode(fw::Timer::kSingle);
  RunFor(Milliseconds{1000});
  EXPECT_EQ(window->ran, (std::vector<std::string>{"timer at 1100"}));
  EXPECT_EQ(window->timer->Mode(), fw::Timer::kOff);

  window->ran.clear();
  const int64_t set = clock.now.count();
  window->timer->SetMode(fw::Timer::kMultiple);
  RunFor(Milliseconds{300});
  EXPECT_EQ(window->ran, (std::vector<std::string>{"timer at " + std::to_string(set + 100),
                                                   "timer at " + std::to_string(set + 200),
                                                   "timer at " + std::to_string(set + 300)}));
}

TEST_F(FrameworkEventLoop, VirtualTimeJumpsToTheNextTimerSoTenSecondsCostNoRealTime) {
  auto window = fw::ImplicitInstance<TestWindow>("TestWindow");
  window->timer->SetPeriod(10000);
  window->timer->SetMode(fw::Timer::kSingle);
  const auto start = std::chrono::steady_clock::now();
  RunFor(Milliseconds{10000});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(window->ran.back(), "timer at 11000");
}

TEST_F(FrameworkEventLoop, ATimerActionIsNeverEnteredAgainWhileItRuns) {
  auto window = fw::ImplicitInstance<TestWindow>("TestWindow");
  int depth = 0, deepest = 0, runs = 0;
  window->timer->SetPeriod(10);
  window->timer->Action = [&] {
    ++runs;
    deepest = std::max(deepest, ++depth);
    // A message box runs the loop nested while the repeating timer comes due again.
    fw::MsgBox("inside");
    --depth;
  };
  // Installed by RunApplication in the program; here by hand.
  const fw::MessagePresenter previous = fw::SetMessagePresenter([&](const std::string& text) {
    fw::MessageBox box(text);
    const fw::ModalScope scope(nullptr);
    frontEnd.ShowMessage(box);
    fw::RunEventLoopUntil([&] { return box.Dismissed(); });
  });
  frontEnd.onMessage = [&](const std::string&) { return false; };
  frontEnd.onUpdate = [&] {
    if (frontEnd.MessageShowing() && clock.now > Milliseconds{1200}) frontEnd.DismissMessage();
  };
  window->timer->SetMode(fw::Timer::kMultiple);
  fw::RunEventLoopUntil([&] { return runs >= 3; });
  fw::SetMessagePresenter(previous);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(frontEnd.messages.size(), 3u);
}

TEST_F(FrameworkEventLoop, InputReachesOnlyTheModalWindowAndShowModalEndsWhenItCloses) {
  struct Behind : TestWindow {
    Behind() : TestWindow("Behind") {}
  };
  struct Modal : TestWindow {
    Modal() : TestWindow("Modal") {}
  };
  auto behind = fw::ImplicitInstance<Behind>("Behind");
  auto modal = fw::ImplicitInstance<Modal>("Modal");
  int idle = 0;
  frontEnd.onIdle = [&] {
    ++idle;
    if (idle == 1) {
      frontEnd.Press("Behind", "Button");
      frontEnd.Press("Modal", "Button");
    } else if (idle == 2) {
      modal->Close();
    }
  };
  modal->ShowModal();
  EXPECT_EQ(behind->ran.size(), 2u) << "only its open events";
  EXPECT_EQ(modal->ran.back(), "button");
  EXPECT_FALSE(modal->IsOpen());
}

TEST_F(FrameworkEventLoop, ADisabledButtonIgnoresPresses) {
  auto window = fw::ImplicitInstance<TestWindow>("TestWindow");
  window->button->SetEnabled(false);
  frontEnd.Press("TestWindow", "Button");
  fw::RunEventLoopPass();
  EXPECT_EQ(window->ran.size(), 2u);
}

TEST_F(FrameworkEventLoop, ResizingMovesAndStretchesControlsByTheirEdgeLocks) {
  auto window = fw::ImplicitInstance<TestWindow>("TestWindow");
  window->SetSize(500, 260);
  EXPECT_EQ(window->field->Left, 10);
  EXPECT_EQ(window->field->Width, 480);
  EXPECT_EQ(window->field->Top, 210);
  EXPECT_EQ(window->button->Left, 0) << "no locks: stays";
  window->SetSize(10, 10);
  EXPECT_EQ(window->Width(), window->MinWidth);
}

TEST_F(FrameworkEventLoop, ReadsWithATimeOutEndInVirtualTime) {
  // A wait inside a handler, as a device read does it: the operating system's loop, polled
  // against Ticks, with nothing arriving.
  const int64_t start = fw::Ticks();
  const auto realStart = std::chrono::steady_clock::now();
  while (fw::Ticks() - start < 120) fw::RunEventLoopPass();
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
}

// The application: Open, the loop, a quit request, and what happens after it.
class CountingApp : public fw::Application {
 public:
  std::function<void()> open;
  void Event_Open() override {
    if (open) open();
  }
};

TEST_F(FrameworkEventLoop, AfterAQuitRequestNoTimerOrInputIsDeliveredAndTheWindowsClose) {
  fw::Ref<TestWindow> window;
  auto app = fw::MakeRef<CountingApp>();
  app->open = [&] {
    window = fw::ImplicitInstance<TestWindow>("TestWindow");
    window->timer->SetPeriod(10);
    window->timer->SetMode(fw::Timer::kMultiple);
    window->timer->Action = [&] {
      window->ran.push_back("tick");
      fw::Quit(3);
      frontEnd.Press("TestWindow", "Button");
    };
  };
  fw::SetApplication(app);
  EXPECT_EQ(fw::RunApplication(), 3);
  fw::ReleaseApplication();
  EXPECT_EQ(std::count(window->ran.begin(), window->ran.end(), "tick"), 1);
  EXPECT_EQ(std::count(window->ran.begin(), window->ran.end(), "button"), 0);
  EXPECT_FALSE(window->IsOpen());
  EXPECT_EQ(window->timer->Mode(), fw::Timer::kOff);
}

// A File menu with its quit item, on Cmd+Q.
fw::Ref<fw::MenuBar> MenuBarWithQuitItem() {
  auto bar = fw::MakeRef<fw::MenuBar>();
  auto file = fw::MakeRef<fw::MenuItem>();
  file->Name = "FileMenu";
  bar->Append(file);
  auto quit = fw::MakeRef<fw::QuitMenuItem>();
  quit->Name = "FileQuit";
  quit->KeyboardShortcut = "Cmd+Q";
  bar->Child("FileMenu")->Append(quit);
  return bar;
}

TEST_F(FrameworkEventLoop, TheQuitItemAndItsShortcutQuitWithZero) {
  for (const bool byShortcut : {false, true}) {
    auto app = fw::MakeRef<CountingApp>();
    app->SetMenuBar(MenuBarWithQuitItem());
    app->open = [&] { fw::ImplicitInstance<TestWindow>("TestWindow"); };
    frontEnd.onIdle = [&] { byShortcut ? frontEnd.PressShortcut("Ctrl+Q") : frontEnd.ChooseMenuItem("FileQuit"); };
    fw::SetApplication(app);
    EXPECT_EQ(fw::RunApplication(), 0);
    EXPECT_FALSE(frontEnd.stalled);
    fw::ReleaseApplication();
  }
}

TEST_F(FrameworkEventLoop, ASignalToEndQuitsWithZeroLikeTheQuitItem) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
    auto app = fw::MakeRef<CountingApp>();
    app->open = [&] {
      fw::ImplicitInstance<TestWindow>("TestWindow");
      std::raise(signal);
    };
    fw::SetApplication(app);
    EXPECT_EQ(fw::RunApplication(), 0) << fw::SignalName(signal);
    EXPECT_FALSE(frontEnd.stalled);
    fw::ReleaseApplication();
  }
}

// Held, neither the quit item nor a signal ends the program; the signals are noted on the
// error stream, and the front end is told. The program's own Quit still ends it, and
// releasing the hold enables the item.
TEST_F(FrameworkEventLoop, WhileQuittingIsHeldOnlyTheProgramEndsItAndSignalsAreNoted) {
  auto app = fw::MakeRef<CountingApp>();
  app->SetMenuBar(MenuBarWithQuitItem());
  const fw::Ref<fw::MenuItem> quit = app->MenuBar()->Child("FileMenu")->Child("FileQuit");
  fw::Ref<TestWindow> window;
  std::vector<std::string> seen;
  app->open = [&] {
    window = fw::ImplicitInstance<TestWindow>("TestWindow");
    fw::HoldQuit(true);
    frontEnd.ChooseMenuItem("FileQuit");
    frontEnd.PressShortcut("Ctrl+Q");
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) std::raise(signal);
    window->timer->SetMode(fw::Timer::kSingle);
    window->timer->Action = [&] {
      seen.push_back(fw::QuitRequested() ? "quitting" : "going on");
      seen.push_back(quit->Enabled() ? "item enabled" : "item disabled");
      fw::HoldQuit(false);
      seen.push_back(quit->Enabled() ? "item enabled" : "item disabled");
      fw::Quit(5);
    };
  };
  fw::SetApplication(app);
  testing::internal::CaptureStderr();
  EXPECT_EQ(fw::RunApplication(), 5);
  const std::string err = testing::internal::GetCapturedStderr();
  fw::ReleaseApplication();
  EXPECT_EQ(seen, (std::vector<std::string>{"going on", "item disabled", "item enabled"}));
  for (const char* name : {"SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT"}) {
    EXPECT_NE(err.find(std::string(name) + " noted: quitting is held"), std::string::npos) << err;
  }
  EXPECT_EQ(std::count(frontEnd.log.begin(), frontEnd.log.end(), "end signal noted"), 4);
}

TEST_F(FrameworkEventLoop, AScriptThatStopsActingEndsTheProgramInsteadOfHanging) {
  auto app = fw::MakeRef<CountingApp>();
  app->open = [&] { fw::ImplicitInstance<TestWindow>("TestWindow"); };
  fw::SetApplication(app);
  EXPECT_EQ(fw::RunApplication(), fw::ScriptedFrontEnd::kStalledExitCode);
  EXPECT_TRUE(frontEnd.stalled);
  fw::ReleaseApplication();
}

}  // namespace
