// The framework services the protocol code uses: message box and beep presenters, the debug
// log, Ticks, the cooperative yield, files next to the application, and number texts.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <ratio>
#include <string>
#include <vector>

#include "alerts.h"
#include "background_task.h"
#include "folder_item.h"
#include "app_folder.h"
#include "system_log.h"
#include "text_functions.h"
#include "ticks.h"

namespace {

using Clock = std::chrono::steady_clock;
using framework_test::TempAppFolder;

TEST(FrameworkAlerts, MessagesReachTheInstalledPresenterInOrder) {
  std::vector<std::string> shown;
  auto previous = fw::SetMessagePresenter([&](const std::string& text) { shown.push_back(text); });
  fw::MsgBox("first");
  fw::MsgBox("second\n\nwith detail");
  fw::SetMessagePresenter(previous);
  fw::MsgBox("to the default presenter");
  EXPECT_EQ(shown, (std::vector<std::string>{"first", "second\n\nwith detail"}));
}

// A tick count with the clock read right before and right after it: however long the thread
// was held up in between, the count belongs to a moment inside that span.
struct TickReading {
  Clock::time_point before;
  int64_t ticks;
  Clock::time_point after;
};

TickReading ReadTicks() {
  TickReading reading;
  reading.before = Clock::now();
  reading.ticks = fw::Ticks();
  reading.after = Clock::now();
  return reading;
}

int64_t WholeTicks(Clock::duration span) {
  using TickDuration = std::chrono::duration<int64_t, std::ratio<1, fw::kTicksPerSecond>>;
  return std::chrono::duration_cast<TickDuration>(span).count();
}

TEST(FrameworkTicks, RunSixtyPerSecondOnTheRealClock) {
  const TickReading first = ReadTicks();
  while (Clock::now() - first.after < std::chrono::milliseconds(200)) {
  }
  const TickReading last = ReadTicks();
  const int64_t elapsed = last.ticks - first.ticks;
  // Each count is the whole ticks since the clock started, so it may lag the exact time by
  // up to one tick.
  EXPECT_GE(elapsed, WholeTicks(last.before - first.after) - 1);
  EXPECT_LE(elapsed, WholeTicks(last.after - first.before) + 1);
}

TEST(FrameworkBackgroundTask, WithoutAHookTheYieldIsNearlyFree) {
  const auto start = Clock::now();
  for (int i = 0; i < 1'000'000; ++i) fw::RuntimeBackgroundTask();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(250));
}

TEST(FrameworkBackgroundTask, TheHookRunsAtMostOnceEveryFewMilliseconds) {
  int runs = 0;
  auto previous = fw::SetBackgroundHook([&] { ++runs; });
  const auto start = Clock::now();
  long calls = 0;
  while (Clock::now() - start < std::chrono::milliseconds(100)) {
    fw::RuntimeBackgroundTask();
    ++calls;
  }
  const auto elapsed = Clock::now() - start;
  fw::SetBackgroundHook(previous);
  EXPECT_GE(runs, 2);
  EXPECT_LE(runs, elapsed / fw::kBackgroundHookInterval + 1);
  EXPECT_GT(calls, 100 * runs);
}

TEST(FrameworkBackgroundTask, AYieldInsideTheHookDoesNotRunItAgain) {
  int depth = 0;
  int deepest = 0;
  auto previous = fw::SetBackgroundHook([&] {
    ++depth;
    deepest = std::max(deepest, depth);
    const auto start = Clock::now();
    while (Clock::now() - start < 2 * fw::kBackgroundHookInterval) fw::RuntimeBackgroundTask();
    --depth;
  });
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::milliseconds(30)) fw::RuntimeBackgroundTask();
  fw::SetBackgroundHook(previous);
  EXPECT_EQ(deepest, 1);
}

TEST(FrameworkFiles, BareNamesResolveInTheApplicationFolder) {
  TempAppFolder folder;
  auto item = fw::GetFolderItem("Debug");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->NativePath(), folder.path() / "Debug");
  EXPECT_FALSE(item->Exists());
  for (const char* name : {"", ".", "..", "sub/Debug", "/tmp/Debug"}) {
    EXPECT_FALSE(fw::GetFolderItem(name)) << name;
  }
}

TEST(FrameworkFiles, ATextFileReplacesOneOfTheSameNameAndGetsWholeLines) {
  TempAppFolder folder;
  { std::ofstream(folder.path() / "Memory.txt") << "old content that is longer\n"; }
  auto stream = fw::GetFolderItem("Memory.txt")->CreateTextFile();
  ASSERT_TRUE(stream);
  stream->WriteLine("Address: 001000 FF");
  // The line is in the file before the stream is closed.
  EXPECT_EQ(folder.Lines("Memory.txt"), (std::vector<std::string>{"Address: 001000 FF"}));
  stream->WriteLine("");
  stream->Close();
  stream->WriteLine("after close: dropped");
  std::ifstream in(folder.path() / "Memory.txt", std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "Address: 001000 FF" + fw::EndOfLine + fw::EndOfLine);
}

TEST(FrameworkFiles, ParentAndChildWalkFromTheProgramToItsResources) {
  const auto program = fw::MakeRef<fw::FolderItem>("/opt/Updater.app/Contents/MacOS/Updater");
  EXPECT_EQ(program->Parent()->Parent()->Child("Resources")->Child("logo.jpg")->NativePath(),
            "/opt/Updater.app/Contents/Resources/logo.jpg");
  for (const char* name : {"", ".", "..", "Resources/logo.jpg", "/logo.jpg"}) {
    EXPECT_FALSE(program->Child(name)) << name;
  }
  // A trailing separator or a ".." does not count as a level.
  EXPECT_EQ(fw::MakeRef<fw::FolderItem>("/opt/app/")->Parent()->NativePath(), "/opt");
  EXPECT_EQ(fw::MakeRef<fw::FolderItem>("/opt/app/Contents/..")->Parent()->NativePath(), "/opt");
  EXPECT_EQ(fw::MakeRef<fw::FolderItem>("/opt")->Parent()->NativePath(), "/");
  EXPECT_FALSE(fw::MakeRef<fw::FolderItem>("/")->Parent());
}

TEST(FrameworkFiles, ExecutableFileIsTheRunningProgramUnlessATestMovesIt) {
  const auto running = fw::ExecutableFile();
  ASSERT_TRUE(running);
  EXPECT_EQ(running->NativePath().filename(), "framework_services_tests");
  EXPECT_TRUE(running->Exists());

  EXPECT_EQ(fw::SetExecutableFile("/opt/Updater.app/Contents/MacOS/Updater"), "");
  EXPECT_EQ(fw::ExecutableFile()->NativePath(), "/opt/Updater.app/Contents/MacOS/Updater");
  EXPECT_EQ(fw::SetExecutableFile({}), "/opt/Updater.app/Contents/MacOS/Updater");
  EXPECT_EQ(fw::ExecutableFile()->NativePath(), running->NativePath());
}

TEST(FrameworkText, StrAndHexWriteIntegers) {
  EXPECT_EQ(fw::Str(0), "0");
  EXPECT_EQ(fw::Str(-536870212), "-536870212");
  EXPECT_EQ(fw::Hex(0), "0");
  EXPECT_EQ(fw::Hex(4096), "1000");
  EXPECT_EQ(fw::Hex(0xABCDEF), "ABCDEF");
  EXPECT_EQ(fw::Hex(-1), "FFFFFFFF");
  EXPECT_EQ(fw::Hex(uint8_t{0xC8}), "C8");
}

TEST(FrameworkText, ValReadsTheNumberATextBeginsWith) {
  EXPECT_EQ(fw::Val("4660"), 4660);
  EXPECT_EQ(fw::Val("  22136abc"), 22136);
  EXPECT_EQ(fw::Val("-12.5e1x"), -125);
  EXPECT_EQ(fw::Val("+7"), 7);
  EXPECT_EQ(fw::Val("3e"), 3);
  EXPECT_EQ(fw::Val(".5"), 0.5);
  EXPECT_EQ(fw::Val("&h1F"), 31);
  EXPECT_EQ(fw::Val("&Hff"), 255);
  EXPECT_EQ(fw::Val("&hFFFFFFFF"), 4294967295.0);
  EXPECT_EQ(fw::Val("1e999"), INFINITY);
  EXPECT_EQ(fw::Val("-1e-999"), 0);
  for (const char* none : {"", "   ", "abc", "&h", "&hZ", "-", ".", "0x10"}) {
    EXPECT_EQ(fw::Val(none), 0) << none;
  }
}

TEST(FrameworkText, DoublesBecomeIntegersByCuttingAndWrapping) {
  EXPECT_EQ(fw::IntegerFromDouble(4660), 4660);
  EXPECT_EQ(fw::IntegerFromDouble(2.9), 2);
  EXPECT_EQ(fw::IntegerFromDouble(-2.9), -2);
  EXPECT_EQ(fw::IntegerFromDouble(4294967295.0), -1);
  EXPECT_EQ(fw::IntegerFromDouble(2147483648.0), INT32_MIN);
  EXPECT_EQ(fw::IntegerFromDouble(4294967296.0 + 5), 5);
  EXPECT_EQ(fw::IntegerFromDouble(1e300), 0);
  EXPECT_EQ(fw::IntegerFromDouble(std::nan("")), 0);
  EXPECT_EQ(fw::IntegerFromDouble(-INFINITY), 0);
}

}  // namespace

TEST(FrameworkText, NthFieldBCountsFieldsFromOneByteWise) {
  EXPECT_EQ(fw::NthFieldB("x$1.0$Title", "$", 1), "x");
  EXPECT_EQ(fw::NthFieldB("x$1.0$Title", "$", 3), "Title");
  EXPECT_EQ(fw::NthFieldB("x$1.0$Title", "$", 4), "");
  EXPECT_EQ(fw::NthFieldB("a$$b", "$", 2), "");
  EXPECT_EQ(fw::NthFieldB("a$$b", "$", 3), "b");
  EXPECT_EQ(fw::NthFieldB("a$b$", "$", 3), "");
  EXPECT_EQ(fw::NthFieldB("a\xA5$b", "$", 1), "a\xA5");
  EXPECT_EQ(fw::NthFieldB("a$b", "$", 0), "");
  EXPECT_EQ(fw::NthFieldB("a$b", "", 1), "");
}

TEST(FrameworkText, LenCountsCharactersAndLenBBytes) {
  EXPECT_EQ(fw::Len(""), 0);
  EXPECT_EQ(fw::Len("Ger\xC3\xA4t"), 5);
  EXPECT_EQ(fw::LenB("Ger\xC3\xA4t"), 6);
  EXPECT_EQ(fw::Len("\xC3"), 1) << "a character cut short";
  EXPECT_EQ(fw::Len("\xFF\xFE"), 2);
}

// What a terminal would act on is escaped byte by byte; printable text of any length in UTF-8
// stays as it is.
TEST(FrameworkText, EscapeControlCharactersLeavesOnlyPrintableUtf8) {
  const auto oneLine = [](std::string_view text) { return fw::EscapeControlCharacters(text, fw::LineEnds::Escape); };
  const std::string printable = "Ger\xC3\xA4t \xE2\x82\xAC \xF0\x9F\x98\x80 \xC2\xA0";  // 2, 3, 4 bytes; no-break space
  EXPECT_EQ(oneLine(printable), printable);
  EXPECT_EQ(oneLine("\x1b[2J\r\n\x7f"), "\\x1b[2J\\x0d\\x0a\\x7f");
  EXPECT_EQ(fw::EscapeControlCharacters("a\nb\r", fw::LineEnds::Keep), "a\nb\\x0d");
  // C1 controls: U+0080, U+009B (CSI) and U+009F as characters, and as raw bytes.
  EXPECT_EQ(oneLine("\xC2\x80\xC2\x9B" "2J\xC2\x9F|\x9B" "2J"), "\\xc2\\x80\\xc2\\x9b2J\\xc2\\x9f|\\x9b2J");
  // Line and paragraph separators; a right-to-left override and a left-to-right isolate.
  EXPECT_EQ(oneLine("\xE2\x80\xA8\xE2\x80\xA9\xE2\x80\xAE\xE2\x81\xA6"),
            "\\xe2\\x80\\xa8\\xe2\\x80\\xa9\\xe2\\x80\\xae\\xe2\\x81\\xa6");
  // No character: a byte no character starts with, an overlong "/", a surrogate, a code point
  // past U+10FFFF, a lead byte before plain text and a character cut short at the end.
  EXPECT_EQ(oneLine("\xFF\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80\xC3" "A\xE2\x82"),
            "\\xff\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80\\xc3A\\xe2\\x82");
}
