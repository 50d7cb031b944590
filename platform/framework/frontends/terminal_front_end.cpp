#include "frontends/terminal_front_end.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
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

Ref<MenuItem> FindQuitItem(const MenuItem& root) {
  return FindMenuItem(root, [](const MenuItem& item) { return dynamic_cast<const QuitMenuItem*>(&item) != nullptr; });
}

// A title is one line: a line end in it is shown as an escape too.
std::string TitleLine(const Window& window) {
  return "== " + EscapeControlCharacters(window.Title(), LineEnds::Escape) + " ==";
}

void InputReady(int /*descriptor*/, short /*revents*/, void* info) {
  static_cast<TerminalFrontEnd*>(info)->ReadInput();
}

}  // namespace

TerminalFrontEnd::TerminalFrontEnd(int input, std::FILE* output)
    : input_(input),
      output_(output),
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
  // on the terminal.
  std::fputs(EscapeControlCharacters(line, LineEnds::Keep).c_str(), output_);
  std::fputc('\n', output_);
  std::fflush(output_);
}

std::string TerminalFrontEnd::KeyFor(const PushButton& button) {
  if (auto known = keys_.find(&button); known != keys_.end()) return known->second;
  std::set<std::string> used{std::string(1, kQuitKey)};
  for (const auto& [control, key] : keys_) used.insert(key);
  std::string candidates = Lower(button.Caption()) + "123456789";
  for (char c : candidates) {
    const std::string key(1, c);
    if (std::isalnum(static_cast<unsigned char>(c)) && !used.contains(key)) return keys_[&button] = key;
  }
  return keys_[&button] = "";
}

void TerminalFrontEnd::PrintKeys(const Window& window) {
  std::string line;
  for (const Ref<Control>& control : window.Controls()) {
    const auto* button = dynamic_cast<const PushButton*>(control.get());
    if (button == nullptr || !button->Visible()) continue;
    const std::string key = KeyFor(*button);
    if (button->Enabled() && !key.empty()) line += "  [" + key + "] " + button->Caption();
  }
  if (menuBar_ != nullptr) {
    if (const Ref<MenuItem> quit = FindQuitItem(*menuBar_)) {
      line += "  [" + std::string(1, kQuitKey) + "] " + quit->Text;
      if (!quit->KeyboardShortcut.empty()) line += " (" + KeyboardShortcutForDisplay(quit->KeyboardShortcut) + ")";
    }
  }
  Print("  keys:" + line);
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
    if (drawn.text != text) Print("  " + control.Name() + "=" + text);
    drawn.text = text;
    return;
  } else {
    return;  // pictures and timers show nothing here
  }
  if (drawn.text == text || !control.Visible()) return;
  drawn.text = text;
  if (!text.empty()) Print("  " + text);
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
  if (inputIsTerminal_) {
    Print("+-- press Enter");
    boxes_.push_back(&box);
  } else {
    Print("+--");
    box.Dismiss();
  }
}

void TerminalFrontEnd::HideMessage(MessageBox& box) { std::erase(boxes_, &box); }

void TerminalFrontEnd::Beep() {
  std::fputc('\a', output_);
  std::fflush(output_);
}

void TerminalFrontEnd::MenuBarInstalled(MenuBar& menuBar) { menuBar_ = &menuBar; }

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
}

void TerminalFrontEnd::RetryPendingLines() {
  // In the order typed: a line waits until the one before it was taken and delivered, so that
  // it meets the buttons as that input left them. A second "Startnext" typed ahead must wait
  // until the step the first one started has enabled the button again; taken at once, it
  // would find the button still enabled and its press would be lost.
  while (!waitingLines_.empty() && !InputPending() && Perform(waitingLines_.front())) {
    waitingLines_.erase(waitingLines_.begin());
  }
}

void TerminalFrontEnd::ReadInput() {
  std::array<char, 256> buffer{};
  const ssize_t count = read(input_, buffer.data(), buffer.size());
  if (count <= 0) {
    // The end of the input: nothing more will come, so stop watching it.
    if (count == 0 && inputSource_ != nullptr) {
      CFRunLoopRemoveSource(CFRunLoopGetCurrent(), inputSource_, kCFRunLoopDefaultMode);
    }
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
    // A script types ahead: a line waits until a window shows its button.
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
    if (Ref<MenuItem> quit = FindQuitItem(*menuBar_)) {
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
