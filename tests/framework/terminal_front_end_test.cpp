// The terminal front end: what a user or a script sees and types, with input through a socket
// pair (or a pseudo-terminal, for a user at a terminal) and output into a memory stream.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "alerts.h"
#include "clock.h"
#include "frontends/terminal_front_end.h"
#include "ui/application.h"
#include "ui/event_loop.h"
#include "ui/window.h"

namespace {

class Panel : public fw::Window {
 public:
  static constexpr std::string_view kClassName = "Panel";
  Panel() : Window(std::string(kClassName)) {}
  fw::Ref<fw::StaticText> status;
  fw::Ref<fw::PushButton> start;
  fw::Ref<fw::PushButton> stop;
  fw::Ref<fw::ProgressBar> bar;
  fw::Ref<fw::EditField> address;
  fw::Ref<fw::Timer> work;
  int started = 0;
  int stopped = 0;
  bool working = false;

 protected:
  void Layout() override { SetTitle("Updating"); }
  void CreateControls() override {
    status = AddControl<fw::StaticText>("status");
    status->SetText("Ready.");
    start = AddControl<fw::PushButton>("start");
    start->SetCaption("Start");
    start->Action = [this] {
      ++started;
      status->SetText("Started.");
      start->SetEnabled(false);
    };
    stop = AddControl<fw::PushButton>("stop");
    stop->SetCaption("Stop");
    stop->Cancel = true;
    stop->Action = [this] { ++stopped; };
    bar = AddControl<fw::ProgressBar>("bar");
    bar->Maximum = 500;
    address = AddControl<fw::EditField>("address");
    // Work in pieces, each arming the next, while `working`.
    work = AddControl<fw::Timer>("work");
    work->SetPeriod(100);
    work->Action = [this] {
      if (working) work->SetMode(fw::Timer::kSingle);
    };
  }
};

class TerminalFrontEnd : public ::testing::Test {
 protected:
  TerminalFrontEnd() {
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, input_), 0);
    output_ = open_memstream(&text_, &size_);
    errors_ = open_memstream(&errorText_, &errorSize_);
    frontEnd_ = std::make_unique<fw::TerminalFrontEnd>(input_[0], output_, errors_);
  }
  ~TerminalFrontEnd() override {
    fw::DeclareWindowClasses({});
    fw::CloseAllWindows();
    fw::ResetEventLoop();
    frontEnd_.reset();
    std::fclose(output_);
    std::free(text_);
    std::fclose(errors_);
    std::free(errorText_);
    close(input_[0]);
    if (input_[1] >= 0) close(input_[1]);
  }

  void Type(const std::string& text) { ASSERT_EQ(write(input_[1], text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  std::string Shown() {
    std::fflush(output_);
    return std::string(text_, size_);
  }
  std::string Reported() {
    std::fflush(errors_);
    return std::string(errorText_, errorSize_);
  }
  void EndInput() { ASSERT_EQ(shutdown(input_[1], SHUT_WR), 0); }
  // From here on the user types on a terminal of the test's (input_[1] its master end).
  void OnATerminal() {
    frontEnd_.reset();
    close(input_[0]);
    close(input_[1]);
    input_[1] = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(input_[1], 0);
    ASSERT_EQ(grantpt(input_[1]), 0);
    ASSERT_EQ(unlockpt(input_[1]), 0);
    input_[0] = open(ptsname(input_[1]), O_RDWR | O_NOCTTY);
    ASSERT_GE(input_[0], 0);
    frontEnd_ = std::make_unique<fw::TerminalFrontEnd>(input_[0], output_, errors_);
  }
  // The terminal's window is closed: its input hangs up.
  void CloseTheTerminal() {
    close(input_[1]);
    input_[1] = -1;
  }
  void RunFor(fw::Milliseconds span) {
    const auto end = clock.now + span;
    fw::RunEventLoopUntil([&] { return clock.now >= end; });
  }
  void RunUntil(const std::function<bool()>& done) {
    const auto end = clock.now + fw::Milliseconds{5000};
    fw::RunEventLoopUntil([&] { return done() || clock.now > end; });
  }

  fw::VirtualClock clock;
  int input_[2]{-1, -1};
  char* text_ = nullptr;
  size_t size_ = 0;
  std::FILE* output_ = nullptr;
  char* errorText_ = nullptr;
  size_t errorSize_ = 0;
  std::FILE* errors_ = nullptr;
  std::unique_ptr<fw::TerminalFrontEnd> frontEnd_;
};

TEST_F(TerminalFrontEnd, AWindowShowsItsTitleTextsAndTheKeysOfItsEnabledButtons) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  EXPECT_EQ(Shown(), "\n== Updating ==\n  Ready.\n  keys:  [s] Start  [t] Stop\n");
  Type("s\n");
  RunUntil([&] { return panel->started == 1; });
  fw::RunEventLoopPass();
  EXPECT_NE(Shown().find("  Started.\n  keys:  [t] Stop\n"), std::string::npos) << Shown();
}

TEST_F(TerminalFrontEnd, AScriptTypesAheadOfTheButtonsAndFillsFields) {
  // Typed before any window is there: the lines wait, in order, for their buttons.
  Type("address=&h1400\nStart\n");
  fw::RunEventLoopPass();
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  RunUntil([&] { return panel->started == 1; });
  EXPECT_EQ(panel->address->Text(), "&h1400");
  // A disabled button's key is not pressed. With the program at rest (no timer armed) the
  // button cannot come back, so the line is reported and skipped rather than left waiting.
  Type("s\n");
  fw::RunEventLoopPass();
  EXPECT_EQ(panel->started, 1);
  EXPECT_EQ(Reported(), "not understood: s\n");
}

// Without a terminal a box is taken as read. On a terminal it waits for Enter, until no one
// is there to read it: once a signal has asked the program to end, the box up and every later
// one are taken as read.
TEST_F(TerminalFrontEnd, MessagesArePrintedVerbatimAndWaitForEnterOnlyWhileSomeoneIsAtTheTerminal) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->status->SetText("Behind the box");
  fw::MessageBox box("Update installed.\n\nPlease disconnect the device and turn it off.");
  frontEnd_->ShowMessage(box);
  EXPECT_TRUE(box.Dismissed());
  EXPECT_NE(Shown().find("  Behind the box\n+--\nUpdate installed.\n\nPlease disconnect the device and turn it off.\n+--\n"),
            std::string::npos)
      << Shown();

  OnATerminal();
  fw::MessageBox read("Invalid data length received.");
  frontEnd_->ShowMessage(read);
  RunFor(fw::Milliseconds{500});
  EXPECT_FALSE(read.Dismissed());
  Type("\n");
  RunUntil([&] { return read.Dismissed(); });
  EXPECT_TRUE(read.Dismissed());
  fw::MessageBox up("Invalid data length received.");
  frontEnd_->ShowMessage(up);
  frontEnd_->EndSignalNoted();
  EXPECT_TRUE(up.Dismissed());
  fw::MessageBox last("Verify failed. Please try again.");
  frontEnd_->ShowMessage(last);
  EXPECT_TRUE(last.Dismissed());
  EXPECT_NE(Shown().find("+--\nInvalid data length received.\n+-- press Enter\n+--\nVerify failed. Please try again.\n+--\n"),
            std::string::npos)
      << Shown();
}

// No byte of a text that a terminal would act on reaches it, and only a message box, the
// program's own text, goes over several lines: a version from outside cannot draw a box.
TEST_F(TerminalFrontEnd, TextsShowWhatATerminalWouldActOnAsEscapesAndOnlyMessagesKeepTheirLineEnds) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->SetTitle("Up\xC2\x9B" "2J\x9B" "2Jdate");  // CSI as a UTF-8 character, then as a raw byte
  panel->status->SetText("1.0\n+--\nUpdate installed.\n+--");
  panel->address->SetText("\x1b[2J\r");
  fw::RunEventLoopPass();
  fw::MessageBox box("Wrong answer from device.\n\n3\x1b[31m");
  frontEnd_->ShowMessage(box);
  const std::string shown = Shown();
  EXPECT_EQ(shown.find_first_of("\x1b\x9b"), std::string::npos) << shown;
  EXPECT_NE(shown.find("== Up\\xc2\\x9b2J\\x9b2Jdate ==\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  1.0\\x0a+--\\x0aUpdate installed.\\x0a+--\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  address=\\x1b[2J\\x0d\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("+--\nWrong answer from device.\n\n3\\x1b[31m\n+--\n"), std::string::npos) << shown;
}

TEST_F(TerminalFrontEnd, AProgressBarIsPrintedOncePerTenthAndAValueAboveTheMaximumAsFull) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  for (int value : {0, 10, 49, 50, 120, 499, 625}) {
    panel->bar->SetValue(value);
    panel->bar->Refresh(true);
  }
  const std::string shown = Shown();
  EXPECT_NE(shown.find("  progress 10%\n  progress 20%\n  progress 90%\n  progress 100%\n"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("progress 0%"), std::string::npos) << "the bar at rest is not printed";
}

// Quitting held while work goes on: the keys line leaves the quit key out, and a script's "q"
// waits until the quit item is enabled again. The quit item's shortcut is not shown: it does
// not reach a program in a terminal.
TEST_F(TerminalFrontEnd, TheQuitKeyIsLeftOutAndWaitsWhileTheQuitItemIsDisabled) {
  class CountingQuitItem : public fw::QuitMenuItem {
   public:
    int chosen = 0;
    void Choose() override { ++chosen; }
  };
  const auto bar = fw::MakeRef<fw::MenuBar>();
  const auto quit = fw::MakeRef<CountingQuitItem>();
  quit->Text = "Beenden";
  quit->KeyboardShortcut = "Cmd+Q";  // Ctrl+Q: a terminal keeps it for flow control
  bar->Append(quit);
  frontEnd_->MenuBarInstalled(*bar);
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->working = true;
  panel->work->SetMode(fw::Timer::kSingle);
  quit->SetEnabled(false);
  Type("q\n");
  RunFor(fw::Milliseconds{500});
  EXPECT_EQ(quit->chosen, 0);
  quit->SetEnabled(true);
  RunUntil([&] { return quit->chosen == 1; });
  EXPECT_EQ(quit->chosen, 1);
  EXPECT_NE(Shown().find("  keys:  [s] Start  [t] Stop  [q] Beenden\n  keys:  [s] Start  [t] Stop\n"), std::string::npos)
      << Shown();
}

// Once the program has named its windows, a line that none of them can take (no key, caption
// or field) is reported, shortened (not inside a character) and cleaned, and holds up no line
// after it.
TEST_F(TerminalFrontEnd, AScriptLineNoWindowCanTakeIsReportedAndSkipped) {
  fw::DeclareWindowClasses({{"Panel", {"Start", "Stop"}, {"address"}}});
  std::string umlauts;
  for (int i = 0; i < 30; ++i) umlauts += "\xC3\xA4";
  Type("hello\nx" + umlauts + "\n" + std::string(60, '\x80') + "\n\xC2\x9B" "2J\xFF\nx\naddress=1\nStart\n");
  fw::RunEventLoopPass();
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  RunUntil([&] { return panel->started == 1; });
  EXPECT_EQ(panel->address->Text(), "1");
  std::string escapes;
  for (int i = 0; i < 40; ++i) escapes += "\\x80";
  EXPECT_EQ(Reported(), "not understood: hello\nnot understood: x" + umlauts.substr(0, 38) + "...\nnot understood: " +
                            escapes + "...\nnot understood: \\xc2\\x9b2J\\xff\nnot understood: x\n");
}

// A declared window's buttons have the keys that one rule gives them all, in the order
// declared: the same whichever windows are up, and known before their window shows, so a
// script may type them ahead. Alone, Panel would give Start "s".
TEST_F(TerminalFrontEnd, DeclaredButtonsHaveTheirKeysForTheWholeRunAndAScriptTypesThemAhead) {
  fw::DeclareWindowClasses({{"Tools", {"Step", "Send"}, {}}, {"Panel", {"Start", "Stop"}, {"address"}}});
  Type("t\n");
  fw::RunEventLoopPass();
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  RunUntil([&] { return panel->started == 1; });
  EXPECT_EQ(panel->started, 1);
  EXPECT_NE(Shown().find("== Updating ==\n  Ready.\n  keys:  [t] Start  [o] Stop\n"), std::string::npos) << Shown();
  EXPECT_EQ(Reported(), "");
}

// Once a script's input has ended and its lines have been carried out, the window that waits
// for the user is ended by its cancel button; not while a line waits for its button, nor
// while a one-shot timer shows that the program goes on by itself.
TEST_F(TerminalFrontEnd, AfterTheScriptAWindowWaitingForTheUserIsCancelled) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->working = true;
  panel->work->SetMode(fw::Timer::kSingle);
  panel->start->SetEnabled(false);
  Type("Start\n");
  EndInput();
  RunFor(fw::Milliseconds{500});
  EXPECT_EQ(panel->stopped, 0) << "the line still waits for Start";
  panel->start->SetEnabled(true);
  RunUntil([&] { return panel->started == 1; });
  RunFor(fw::Milliseconds{500});
  EXPECT_EQ(panel->stopped, 0) << "the work goes on";
  panel->working = false;
  RunUntil([&] { return panel->stopped == 1; });
  EXPECT_EQ(panel->stopped, 1);
  EXPECT_EQ(Reported(), "");
}

// A closed terminal: the box up and every later one are taken as read, and the window that
// waits for the user is cancelled, as after a script's end; the program ends.
TEST_F(TerminalFrontEnd, WhenTheTerminalIsClosedBoxesAreTakenAsReadAndTheWaitingWindowIsCancelled) {
  OnATerminal();
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  fw::MessageBox up("Failed to get answer from device.");
  frontEnd_->ShowMessage(up);
  RunFor(fw::Milliseconds{500});
  EXPECT_FALSE(up.Dismissed());
  EXPECT_EQ(panel->stopped, 0);
  CloseTheTerminal();
  RunUntil([&] { return up.Dismissed() && panel->stopped == 1; });
  EXPECT_TRUE(up.Dismissed());
  EXPECT_EQ(panel->stopped, 1);
  fw::MessageBox later("Verify failed. Please try again.");
  frontEnd_->ShowMessage(later);
  EXPECT_TRUE(later.Dismissed());
}

// A modal window that puts up a box while it waits (a search that has found nothing says so)
// asks for the user. Once the script has ended, no one will answer: the window is cancelled,
// even though a line still waits for its button.
TEST_F(TerminalFrontEnd, AfterTheScriptAModalWindowThatAskedForTheUserIsCancelled) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->start->SetEnabled(false);
  panel->stop->Action = [&] {
    ++panel->stopped;
    panel->Close();
  };
  Type("Start\n");
  int fired = 0;
  int stoppedBeforeTheEnd = -1;
  panel->work->SetMode(fw::Timer::kMultiple);
  panel->work->Action = [&] {
    ++fired;
    if (fired == 1) {
      fw::MessageBox box("Nothing found.");
      fw::CurrentFrontEnd().ShowMessage(box);
    } else if (fired == 5) {
      stoppedBeforeTheEnd = panel->stopped;
      EndInput();
    } else if (fired == 50) {
      panel->Close();  // the test's bound
    }
  };
  panel->ShowModal();
  EXPECT_EQ(stoppedBeforeTheEnd, 0) << "the script may still type";
  EXPECT_EQ(panel->stopped, 1);
  EXPECT_EQ(panel->started, 0);
  EXPECT_EQ(Reported(), "");
}

}  // namespace
