// The terminal front end: what a user or a script sees and types, with input through a socket
// pair and output into a memory stream.
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
  Panel() : Window("Panel") {}
  fw::Ref<fw::StaticText> status;
  fw::Ref<fw::PushButton> start;
  fw::Ref<fw::PushButton> stop;
  fw::Ref<fw::ProgressBar> bar;
  fw::Ref<fw::EditField> address;
  int started = 0;

 protected:
  void Layout() override { SetTitle("Updating"); }
  void CreateControls() override {
    status = AddControl<fw::StaticText>("status");
    status->SetText("Ready.");
    start = AddControl<fw::PushButton>("start");
    start->SetCaption("Start");
    start->Action = [this] {
      ++started;
      status->SetText("Line one\nline two");
      start->SetEnabled(false);
    };
    stop = AddControl<fw::PushButton>("stop");
    stop->SetCaption("Stop");
    bar = AddControl<fw::ProgressBar>("bar");
    bar->Maximum = 500;
    address = AddControl<fw::EditField>("address");
  }
};

class TerminalFrontEnd : public ::testing::Test {
 protected:
  TerminalFrontEnd() {
    EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, input_), 0);
    output_ = open_memstream(&text_, &size_);
    frontEnd_ = std::make_unique<fw::TerminalFrontEnd>(input_[0], output_);
  }
  ~TerminalFrontEnd() override {
    fw::CloseAllWindows();
    fw::ResetEventLoop();
    frontEnd_.reset();
    std::fclose(output_);
    std::free(text_);
    close(input_[0]);
    close(input_[1]);
  }

  void Type(const std::string& text) { ASSERT_EQ(write(input_[1], text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  std::string Shown() {
    std::fflush(output_);
    return std::string(text_, size_);
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
  std::unique_ptr<fw::TerminalFrontEnd> frontEnd_;
};

TEST_F(TerminalFrontEnd, AWindowShowsItsTitleTextsAndTheKeysOfItsEnabledButtons) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  EXPECT_EQ(Shown(), "\n== Updating ==\n  Ready.\n  keys:  [s] Start  [t] Stop\n");
  Type("s\n");
  RunUntil([&] { return panel->started == 1; });
  fw::RunEventLoopPass();
  EXPECT_NE(Shown().find("  Line one\nline two\n  keys:  [t] Stop\n"), std::string::npos) << Shown();
}

TEST_F(TerminalFrontEnd, AScriptTypesAheadOfTheButtonsAndFillsFields) {
  // Typed before any window is there: the lines wait, in order, for their buttons.
  Type("address=&h1400\nStart\n");
  fw::RunEventLoopPass();
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  RunUntil([&] { return panel->started == 1; });
  EXPECT_EQ(panel->address->Text(), "&h1400");
  // A disabled button's key waits too, instead of pressing it.
  Type("s\n");
  fw::RunEventLoopPass();
  EXPECT_EQ(panel->started, 1);
}

TEST_F(TerminalFrontEnd, MessagesArePrintedVerbatimAndTakenAsReadWithoutATerminal) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->status->SetText("Behind the box");
  fw::MessageBox box("Update installed.\n\nPlease disconnect the device and turn it off.");
  frontEnd_->ShowMessage(box);
  EXPECT_TRUE(box.Dismissed());
  EXPECT_NE(Shown().find("  Behind the box\n+--\nUpdate installed.\n\nPlease disconnect the device and turn it off.\n+--\n"),
            std::string::npos)
      << Shown();
}

TEST_F(TerminalFrontEnd, ControlCharactersOfTextsAreShownAsEscapesAndOnlyTextsKeepTheirLineEnds) {
  auto panel = fw::ImplicitInstance<Panel>("Panel");
  panel->SetTitle(std::string("Up\x1b]0;owned\a\ndate\0d", 19));
  panel->status->SetText("1.0\x1b[2J\r");
  fw::RunEventLoopPass();
  fw::MessageBox box("Title\x1b[31m\nsecond line\x7f");
  frontEnd_->ShowMessage(box);
  const std::string shown = Shown();
  EXPECT_EQ(shown.find('\x1b'), std::string::npos) << shown;
  EXPECT_NE(shown.find("== Up\\x1b]0;owned\\x07\\x0adate\\x00d ==\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  1.0\\x1b[2J\\x0d\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("+--\nTitle\\x1b[31m\nsecond line\\x7f\n+--\n"), std::string::npos) << shown;
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

}  // namespace
