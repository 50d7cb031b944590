#include "frontends/terminal_front_end.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <utility>

#include "text_functions.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/event_loop.h"
#include "ui/menu.h"
#include "ui/window.h"

namespace fw {
namespace {

constexpr int kBarCells = 40;
// The key of the quit item, kept free for it in every window.
constexpr char kQuitKey = 'q';

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The percentage a bar shows: a value above its maximum is drawn full.
int32_t Percent(const ProgressBar& bar) {
  if (bar.Maximum <= 0) return 0;
  const int64_t value = std::clamp<int64_t>(bar.Value(), 0, bar.Maximum);
  return static_cast<int32_t>(value * 100 / bar.Maximum);
}

// A text a window shows, on one line: its line ends are shown as escapes too, so that no text
// (the update's version, a device's answer in a field) can draw a line of its own, such as a
// message box's frame.
std::string OneLine(std::string_view text) { return EscapeControlCharacters(text, LineEnds::Escape); }

// At most this much of a line that nothing can take is repeated in the report.
constexpr size_t kReportedLineBytes = 40;
// The longest UTF-8 character.
constexpr size_t kLongestCharacterBytes = 4;

// A line as the report shows it: cut after a few dozen bytes (not inside a character), and
// control characters shown as escapes, so that junk cannot upset the terminal.
std::string Shortened(const std::string& line) {
  const auto continuation = [&line](size_t i) { return (static_cast<unsigned char>(line[i]) & 0xC0) == 0x80; };
  size_t cut = std::min(line.size(), kReportedLineBytes);
  if (cut < line.size() && continuation(cut)) {
    // Back to the first byte of the character the cut falls in. Within a run of bytes that
    // start no character the cut stays where it is: they are escaped one by one.
    size_t lead = cut;
    while (lead > 0 && cut - lead < kLongestCharacterBytes - 1 && continuation(lead)) --lead;
    if ((static_cast<unsigned char>(line[lead]) & 0xC0) == 0xC0) cut = lead;
  }
  const std::string shown = OneLine(std::string_view(line).substr(0, cut));
  return cut < line.size() ? shown + "..." : shown;
}

// A button's key: the first letter or digit of its caption that no other button has, else a
// digit of its own; empty when none is free.
std::string KeyAmong(const std::string& caption, const std::set<std::string>& used) {
  for (char c : Lower(caption) + "123456789") {
    const std::string key(1, c);
    if (std::isalnum(static_cast<unsigned char>(c)) && !used.contains(key)) return key;
  }
  return "";
}

// The keys of the declared windows' buttons, by window class and caption.
using DeclaredKeys = std::map<std::pair<std::string, std::string>, std::string>;

// The one rule for the keys of a program that declared its windows: in the order declared,
// each button takes the first letter or digit of its caption that no button before it took
// (the quit key is kept free). So a key names one button for the whole run, whichever windows
// are open and in whatever order they opened, and a script may type it before its window
// shows.
DeclaredKeys KeysOfDeclaredButtons() {
  DeclaredKeys keys;
  std::set<std::string> used{std::string(1, kQuitKey)};
  for (const WindowClassDeclaration& declared : DeclaredWindowClasses()) {
    for (const std::string& caption : declared.buttonCaptions) {
      auto [entry, added] = keys.try_emplace({declared.className, caption});
      if (!added) continue;
      entry->second = KeyAmong(caption, used);
      used.insert(entry->second);
    }
  }
  return keys;
}

Window* TopModalWindow() {
  const std::vector<Ref<Window>>& windows = OpenWindows();
  const auto modal = std::find_if(windows.rbegin(), windows.rend(), [](const Ref<Window>& w) { return w->IsModal(); });
  return modal == windows.rend() ? nullptr : modal->get();
}

// Whether the program rests, waiting for the user: a window is up, none is modal (a modal
// window may go on by itself, as a search does when its device comes), no input is being
// handled or waits, and no one-shot timer is armed or running (the program does its work in
// pieces, each arming the next). At rest the windows change only on the user's input.
bool AtRest() {
  const std::vector<Ref<Window>>& windows = OpenWindows();
  if (windows.empty() || TopModalWindow() != nullptr || InputPending() || HandlingInput()) return false;
  for (const Ref<Window>& window : windows) {
    for (const Ref<Control>& control : window->Controls()) {
      const auto* timer = dynamic_cast<const Timer*>(control.get());
      if (timer != nullptr && (timer->Mode() == Timer::kSingle || timer->Running())) return false;
    }
  }
  return true;
}

PushButton* EnabledCancelButton(const Window& window) {
  for (const Ref<Control>& control : window.Controls()) {
    auto* button = dynamic_cast<PushButton*>(control.get());
    if (button != nullptr && button->Cancel && button->Enabled() && button->Visible()) return button;
  }
  return nullptr;
}

std::string TitleLine(const Window& window) { return "== " + OneLine(window.Title()) + " =="; }

void InputReady(int /*descriptor*/, short revents, void* info) {
  static_cast<TerminalFrontEnd*>(info)->ReadInput(revents);
}

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(int input, std::FILE* output, std::FILE* errors)
    : input_(input),
      output_(output),
      errors_(errors),
      outputIsTerminal_(isatty(fileno(output)) == 1),
      inputIsTerminal_(isatty(input) == 1),
      previous_(SetFrontEnd(this)) {
  inputSource_ = OSRunLoopSourceCreateForDescriptor(input_, &InputReady, this);
  CFRunLoopAddSource(CFRunLoopGetCurrent(), inputSource_, kCFRunLoopDefaultMode);
}

TerminalFrontEnd::~TerminalFrontEnd() {
  if (inputSource_ != nullptr) {
    CFRunLoopRemoveSource(CFRunLoopGetCurrent(), inputSource_, kCFRunLoopDefaultMode);
    CFRelease(inputSource_);
  }
  if (progressLineOpen_) std::fputc('\n', output_);
  std::fflush(output_);
  SetFrontEnd(previous_);
}

void TerminalFrontEnd::Print(const std::string& line) {
  if (progressLineOpen_) {
    std::fputc('\n', output_);
    progressLineOpen_ = false;
  }
  // Texts come from outside too (the update's title and version): no byte of them may act
  // on the terminal. Only a message box's text keeps its line ends: it is the program's own,
  // with numbers set in.
  std::fputs(EscapeControlCharacters(line, LineEnds::Keep).c_str(), output_);
  std::fputc('\n', output_);
  std::fflush(output_);
}

std::string TerminalFrontEnd::KeyFor(const PushButton& button) {
  if (auto known = keys_.find(&button); known != keys_.end()) return known->second;
  const DeclaredKeys declared = KeysOfDeclaredButtons();
  if (const Window* owner = button.Owner()) {
    if (auto key = declared.find({owner->ClassName(), button.Caption()}); key != declared.end()) {
      return keys_[&button] = key->second;
    }
  }
  // A button no declaration names takes a key that no declared button and no button up has.
  std::set<std::string> used{std::string(1, kQuitKey)};
  for (const auto& [which, key] : declared) used.insert(key);
  for (const auto& [control, key] : keys_) used.insert(key);
  return keys_[&button] = KeyAmong(button.Caption(), used);
}

void TerminalFrontEnd::PrintKeys(const Window& window) {
  std::string line;
  for (const Ref<Control>& control : window.Controls()) {
    const auto* button = dynamic_cast<const PushButton*>(control.get());
    if (button == nullptr || !button->Visible()) continue;
    const std::string key = KeyFor(*button);
    if (button->Enabled() && !key.empty()) line += "  [" + key + "] " + OneLine(button->Caption());
    // The line is up to date: a change already shown here is not printed again.
    Drawn& drawn = drawn_[button];
    drawn.enabled = button->Enabled();
    drawn.text = button->Caption();
  }
  if (menuBar_ != nullptr) {
    // Left out while the quit item is disabled, like a disabled button. Its keyboard shortcut
    // is not shown: a terminal takes Ctrl+Q for flow control, and the program never sees it.
    if (const Ref<MenuItem> quit = FindQuitItem(*menuBar_); quit && quit->Enabled()) {
      line += "  [" + std::string(1, kQuitKey) + "] " + OneLine(quit->Text);
    }
  }
  // While the window takes no input (the update runs, quitting is held) the user is told so,
  // rather than shown an empty list.
  Print("  keys:" + (line.empty() ? std::string(" none for now") : line));
}

void TerminalFrontEnd::WindowOpened(Window& window) {
  Print("");
  Print(TitleLine(window));
  titles_[&window] = window.Title();
  for (const Ref<Control>& control : window.Controls()) {
    dirty_.erase(control.get());
    Drawn& drawn = drawn_[control.get()];
    if (auto* button = dynamic_cast<PushButton*>(control.get())) {
      // All buttons go into the one keys line below.
      drawn.enabled = button->Enabled();
      drawn.text = button->Caption();
    } else if (auto* bar = dynamic_cast<ProgressBar*>(control.get())) {
      drawn.tenth = Percent(*bar) / 10;  // a bar shows once it moves
      drawn.text = std::to_string(Percent(*bar));
    } else {
      Draw(*control);
    }
  }
  PrintKeys(window);
  RetryPendingLines();
}

void TerminalFrontEnd::WindowClosed(Window& window) {
  if (&window == askingWindow_) askingWindow_ = nullptr;
  for (const Ref<Control>& control : window.Controls()) {
    dirty_.erase(control.get());
    drawn_.erase(control.get());
    keys_.erase(control.get());
  }
  titles_.erase(&window);
}

void TerminalFrontEnd::WindowChanged(Window& window) {
  auto shown = titles_.find(&window);
  if (shown == titles_.end() || shown->second == window.Title()) return;
  shown->second = window.Title();
  Print(TitleLine(window));
}

void TerminalFrontEnd::ControlChanged(Control& control) { dirty_.insert(&control); }

void TerminalFrontEnd::RedrawNow(Control& control) {
  dirty_.erase(&control);
  Draw(control);
}

void TerminalFrontEnd::Draw(Control& control) {
  Drawn& drawn = drawn_[&control];
  if (auto* bar = dynamic_cast<ProgressBar*>(&control)) {
    DrawProgress(*bar);
    return;
  }
  if (auto* button = dynamic_cast<PushButton*>(&control)) {
    const bool changed = drawn.enabled != button->Enabled() || drawn.text != button->Caption();
    drawn.enabled = button->Enabled();
    drawn.text = button->Caption();
    if (changed && button->Owner() != nullptr) PrintKeys(*button->Owner());
    return;
  }
  std::string text;
  if (auto* staticText = dynamic_cast<StaticText*>(&control)) {
    text = staticText->Text();
  } else if (auto* field = dynamic_cast<EditField*>(&control)) {
    text = field->Text();
    if (drawn.text != text) Print("  " + control.Name() + "=" + OneLine(text));
    drawn.text = text;
    return;
  } else {
    return;  // pictures and timers show nothing here
  }
  if (drawn.text == text || !control.Visible()) return;
  drawn.text = text;
  if (!text.empty()) Print("  " + OneLine(text));
}

void TerminalFrontEnd::DrawProgress(const ProgressBar& bar) {
  Drawn& drawn = drawn_[&bar];
  const int32_t percent = Percent(bar);
  if (outputIsTerminal_) {
    if (std::to_string(percent) == drawn.text && progressLineOpen_) return;
    drawn.text = std::to_string(percent);
    const int filled = percent * kBarCells / 100;
    std::string line = "\r  [" + std::string(filled, '#') + std::string(kBarCells - filled, '.') + "] " +
                       std::to_string(percent) + "%";
    std::fputs(line.c_str(), output_);
    std::fflush(output_);
    progressLineOpen_ = true;
    return;
  }
  // Not a terminal: one line per tenth reached, so a log stays short.
  const int32_t tenth = percent / 10;
  if (tenth == drawn.tenth) return;
  drawn.tenth = tenth;
  Print("  progress " + std::to_string(tenth * 10) + "%");
}

void TerminalFrontEnd::ShowMessage(MessageBox& box) {
  Update();  // the windows behind the box show their latest state
  Print("+--");
  Print(box.Text());
  if (!BoxesTakenAsRead()) {
    Print("+-- press Enter");
    boxes_.push_back(&box);
    return;
  }
  Print("+--");
  box.Dismiss();
  // A box that comes while a modal window waits for the user (a search that found nothing
  // says so) asks for the user: see CancelAfterTheScript.
  if (Window* modal = TopModalWindow(); modal != nullptr && EnabledCancelButton(*modal) != nullptr) {
    askingWindow_ = modal;
  }
}

void TerminalFrontEnd::HideMessage(MessageBox& box) { std::erase(boxes_, &box); }

bool TerminalFrontEnd::BoxesTakenAsRead() const { return !inputIsTerminal_ || inputEnded_ || endSignalNoted_; }

void TerminalFrontEnd::TakeBoxesAsRead() {
  for (MessageBox* box : std::exchange(boxes_, {})) box->Dismiss();
}

void TerminalFrontEnd::EndSignalNoted() {
  // The user asked the program to end: the work goes on to its end, and its last message
  // must not hold the program, least of all on a terminal that has been closed.
  endSignalNoted_ = true;
  TakeBoxesAsRead();
}

void TerminalFrontEnd::Beep() {
  std::fputc('\a', output_);
  std::fflush(output_);
}

void TerminalFrontEnd::MenuBarInstalled(MenuBar& menuBar) { menuBar_ = &menuBar; }

void TerminalFrontEnd::MenuItemChanged(MenuItem& item) {
  // The quit item's key is in every window's keys line.
  if (menuBar_ == nullptr || FindQuitItem(*menuBar_).get() != &item) return;
  for (const Ref<Window>& window : OpenWindows()) {
    if (window->Visible) PrintKeys(*window);
  }
}

void TerminalFrontEnd::Update() {
  // Drawn in the windows' order, not in the order the changes came.
  const std::set<Control*> dirty = std::exchange(dirty_, {});
  for (const Ref<Window>& window : OpenWindows()) {
    for (const Ref<Control>& control : window->Controls()) {
      if (dirty.contains(control.get())) Draw(*control);
    }
  }
  // Also when nothing changed: the input of the line before may have been delivered.
  if (!dirty.empty() || !waitingLines_.empty()) RetryPendingLines();
  CancelAfterTheScript();
}

// Once the input has ended (a script's end, or a terminal's: Ctrl+D, or the terminal closed)
// and its every line has been carried out, nothing more will press a button. A window that
// waits for the user would wait for ever, so it is ended as its cancel button ends it: a modal
// window, which holds the program until it closes, or any window while the program is at
// rest. A window whose cancel button is disabled is left to the program's work, which ends it.
// A line still waiting may yet find its button (a device that appears late lets the search
// dialog go on to the main window): nothing is cancelled then, unless the modal window has
// put up a box while it waited. It asks for the user then, who is not there to answer.
void TerminalFrontEnd::CancelAfterTheScript() {
  if (!inputEnded_ || cancelledAfterTheScript_ || InputPending()) return;
  Window* modal = TopModalWindow();
  if (!waitingLines_.empty() && (modal == nullptr || modal != askingWindow_)) return;
  std::vector<Ref<Window>> candidates;
  if (modal != nullptr) {
    candidates.emplace_back(modal);
  } else if (AtRest()) {
    candidates.assign(OpenWindows().rbegin(), OpenWindows().rend());
  }
  for (const Ref<Window>& window : candidates) {
    if (PushButton* cancel = EnabledCancelButton(*window)) {
      cancelledAfterTheScript_ = true;
      PostInput(window, [cancel = Ref<PushButton>(cancel)] { cancel->Press(); });
      return;
    }
  }
}

void TerminalFrontEnd::RetryPendingLines() {
  // In the order typed: a line waits until the one before it was taken and delivered, so that
  // it meets the buttons as that input left them. A second "Startnext" typed ahead must wait
  // until the step the first one started has enabled the button again; taken at once, it
  // would find the button still enabled and its press would be lost.
  while (!waitingLines_.empty() && !InputPending()) {
    // At rest, nothing but the user's input changes the windows, and that input waits behind
    // this line: a line that nothing takes now never will be taken.
    if (!Perform(waitingLines_.front())) {
      if (!AtRest()) return;
      ReportNotUnderstood(waitingLines_.front());
    }
    waitingLines_.erase(waitingLines_.begin());
  }
}

void TerminalFrontEnd::ReportNotUnderstood(const std::string& line) {
  std::fprintf(errors_, "not understood: %s\n", Shortened(line).c_str());
  std::fflush(errors_);
}

void TerminalFrontEnd::ReadInput(short revents) {
  std::array<char, 256> buffer{};
  const ssize_t count = read(input_, buffer.data(), buffer.size());
  // A read that would wait, on a descriptor that has hung up, would be tried for ever.
  const bool hungUp = (revents & (POLLHUP | POLLERR)) != 0;
  if (count < 0 && (errno == EINTR || (errno == EAGAIN && !hungUp))) return;
  if (count <= 0) {
    // The end of the input (a terminal's too: EOF, or EIO once it is closed): nothing more will
    // come, so stop watching it. No one is left to read a box: the ones up are taken as read.
    // A last line without its line end still counts.
    if (inputSource_ != nullptr) CFRunLoopRemoveSource(CFRunLoopGetCurrent(), inputSource_, kCFRunLoopDefaultMode);
    inputEnded_ = true;
    TakeBoxesAsRead();
    if (!pendingInput_.empty()) TakeLine(std::exchange(pendingInput_, {}));
    return;
  }
  pendingInput_.append(buffer.data(), static_cast<size_t>(count));
  size_t end;
  while ((end = pendingInput_.find('\n')) != std::string::npos) {
    std::string line = pendingInput_.substr(0, end);
    pendingInput_.erase(0, end + 1);
    TakeLine(std::move(line));
  }
}

void TerminalFrontEnd::TakeLine(std::string line) {
  if (!boxes_.empty()) {
    boxes_.back()->Dismiss();
    boxes_.pop_back();
    return;
  }
  line = Trimmed(line);
  if (line.empty()) return;
  if (!inputIsTerminal_) {
    // A script types ahead: a line waits until a window shows its button. A line that no
    // window can ever take would hold up every line after it for good.
    if (!CanEverMatch(line)) return ReportNotUnderstood(line);
    waitingLines_.push_back(line);
    RetryPendingLines();
    return;
  }
  if (!Perform(line)) Print("  (not a key of an enabled button: " + line + ")");
}

bool TerminalFrontEnd::Perform(const std::string& line) {
  return (line.find('=') != std::string::npos && FillField(line)) || PressByKey(line);
}

bool TerminalFrontEnd::PressByKey(const std::string& typed) {
  const std::string wanted = Lower(typed);
  if (menuBar_ != nullptr && wanted == std::string(1, kQuitKey)) {
    // While the quit item is disabled a script's "q" waits, like any line whose button is
    // disabled, and is carried out once the item is enabled again. The program disables it
    // for work that must not be cut short, so the line cannot cut that work short either.
    if (Ref<MenuItem> quit = FindQuitItem(*menuBar_); quit && quit->Enabled()) {
      PostInput(nullptr, [quit] { quit->Choose(); });
      return true;
    }
  }
  for (const Ref<Window>& window : OpenWindows()) {
    for (const Ref<Control>& control : window->Controls()) {
      auto* button = dynamic_cast<PushButton*>(control.get());
      if (button == nullptr || !button->Enabled()) continue;
      if (KeyFor(*button) != wanted && Lower(button->Caption()) != wanted) continue;
      PostInput(window, [button = Ref<PushButton>(button)] { button->Press(); });
      return true;
    }
  }
  return false;
}

bool TerminalFrontEnd::CanEverMatch(const std::string& line) {
  const std::string wanted = Lower(line);
  if (menuBar_ != nullptr && wanted == std::string(1, kQuitKey) && FindQuitItem(*menuBar_)) return true;
  // A program that did not declare its windows may show anything.
  if (DeclaredWindowClasses().empty()) return true;
  const size_t equals = line.find('=');
  const std::string field = equals == std::string::npos ? std::string() : Trimmed(line.substr(0, equals));
  for (const auto& [which, key] : KeysOfDeclaredButtons()) {
    if (key == wanted || Lower(which.second) == wanted) return true;
  }
  for (const WindowClassDeclaration& declared : DeclaredWindowClasses()) {
    if (!field.empty() && std::ranges::find(declared.fieldNames, field) != declared.fieldNames.end()) return true;
  }
  // A window the program did not declare, while it is up.
  for (const Ref<Window>& window : OpenWindows()) {
    for (const Ref<Control>& control : window->Controls()) {
      if (dynamic_cast<const EditField*>(control.get()) != nullptr && !field.empty() && control->Name() == field) {
        return true;
      }
      const auto* button = dynamic_cast<const PushButton*>(control.get());
      if (button != nullptr && (Lower(button->Caption()) == wanted || KeyFor(*button) == wanted)) return true;
    }
  }
  return false;
}

bool TerminalFrontEnd::FillField(const std::string& line) {
  const size_t equals = line.find('=');
  const std::string name = Trimmed(line.substr(0, equals));
  for (const Ref<Window>& window : OpenWindows()) {
    auto* field = dynamic_cast<EditField*>(window->FindControl(name));
    if (field == nullptr) continue;
    PostInput(window, [field = Ref<EditField>(field), text = line.substr(equals + 1)] { field->Type(text); });
    return true;
  }
  return false;
}

}  // namespace fw
