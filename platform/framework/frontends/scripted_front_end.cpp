#include "frontends/scripted_front_end.h"

#include <utility>

#include "text_functions.h"
#include "ui/application.h"
#include "ui/event_loop.h"
#include "ui/menu.h"

namespace fw {
namespace {

// Idle passes take about a millisecond of real time each: about two seconds of a script
// that does nothing.
constexpr int kIdlePassesBeforeStall = 2000;

std::string Shown(const Control& control) {
  if (const auto* text = dynamic_cast<const StaticText*>(&control)) return text->Text();
  if (const auto* field = dynamic_cast<const EditField*>(&control)) return field->Text();
  if (const auto* button = dynamic_cast<const PushButton*>(&control)) return button->Caption();
  if (const auto* bar = dynamic_cast<const ProgressBar*>(&control)) return Str(bar->Value());
  return {};
}

}  // namespace

ScriptedFrontEnd::ScriptedFrontEnd() : previous_(SetFrontEnd(this)) {}

ScriptedFrontEnd::~ScriptedFrontEnd() { SetFrontEnd(previous_); }

Window* ScriptedFrontEnd::FindWindow(std::string_view windowClass) const {
  return FindOpenWindow(windowClass);
}

Control* ScriptedFrontEnd::FindControl(std::string_view windowClass, std::string_view control) const {
  Window* window = FindWindow(windowClass);
  return window ? window->FindControl(control) : nullptr;
}

std::string ScriptedFrontEnd::TextOf(std::string_view windowClass, std::string_view control) const {
  const Control* found = FindControl(windowClass, control);
  return found ? Shown(*found) : std::string{};
}

bool ScriptedFrontEnd::EnabledOf(std::string_view windowClass, std::string_view control) const {
  const Control* found = FindControl(windowClass, control);
  return found && found->Enabled();
}

int32_t ScriptedFrontEnd::ValueOf(std::string_view windowClass, std::string_view control) const {
  const auto* bar = dynamic_cast<const ProgressBar*>(FindControl(windowClass, control));
  return bar ? bar->Value() : 0;
}

void ScriptedFrontEnd::Press(std::string_view windowClass, std::string_view button) {
  Acted();
  Ref<Window> window(FindWindow(windowClass));
  if (!window) return;
  PostInput(window, [window, name = std::string(button)] {
    if (auto* pushButton = dynamic_cast<PushButton*>(window->FindControl(name))) pushButton->Press();
  });
}

void ScriptedFrontEnd::Type(std::string_view windowClass, std::string_view field, std::string text) {
  Acted();
  Ref<Window> window(FindWindow(windowClass));
  if (!window) return;
  PostInput(window, [window, name = std::string(field), text = std::move(text)] {
    if (auto* editField = dynamic_cast<EditField*>(window->FindControl(name))) editField->Type(text);
  });
}

void ScriptedFrontEnd::CloseWindow(std::string_view windowClass) {
  Acted();
  Ref<Window> window(FindWindow(windowClass));
  if (!window) return;
  PostInput(window, [window] { window->PressCloseBox(); });
}

void ScriptedFrontEnd::ChooseMenuItem(std::string_view name) {
  Acted();
  if (menuBar_ == nullptr) return;
  if (Ref<MenuItem> item = FindMenuItem(*menuBar_, [name](const MenuItem& each) { return each.Name == name; })) {
    PostInput(nullptr, [item] { item->Choose(); });
  }
}

void ScriptedFrontEnd::PressShortcut(std::string_view display) {
  Acted();
  if (menuBar_ == nullptr) return;
  if (Ref<MenuItem> item = FindMenuItemByShortcut(*menuBar_, display)) {
    PostInput(nullptr, [item] { item->Choose(); });
  }
}

void ScriptedFrontEnd::DismissMessage() {
  Acted();
  if (boxes_.empty()) return;
  boxes_.back()->Dismiss();
  boxes_.pop_back();
}

void ScriptedFrontEnd::WindowOpened(Window& window) { log.push_back("open " + window.ClassName()); }

void ScriptedFrontEnd::WindowModal(Window& window) { log.push_back("modal " + window.ClassName()); }

void ScriptedFrontEnd::WindowClosed(Window& window) { log.push_back("close " + window.ClassName()); }

void ScriptedFrontEnd::RedrawNow(Control& control) {
  redraws.push_back(control.Name() + " " + Shown(control));
}

void ScriptedFrontEnd::ShowMessage(MessageBox& box) {
  messages.push_back(box.Text());
  log.push_back("message " + box.Text());
  Acted();
  boxes_.push_back(&box);
  const bool dismissNow = onMessage ? onMessage(box.Text()) : true;
  if (dismissNow && !box.Dismissed()) DismissMessage();
}

void ScriptedFrontEnd::HideMessage(MessageBox& box) {
  std::erase(boxes_, &box);
}

void ScriptedFrontEnd::Beep() { log.push_back("beep"); }

void ScriptedFrontEnd::EndSignalNoted() { log.push_back("end signal noted"); }

void ScriptedFrontEnd::MenuBarInstalled(MenuBar& menuBar) { menuBar_ = &menuBar; }

void ScriptedFrontEnd::Update() {
  if (onUpdate) onUpdate();
}

void ScriptedFrontEnd::Idle() {
  if (onIdle) onIdle();
  if (++idlePassesWithoutAction_ < kIdlePassesBeforeStall) return;
  stalled = true;
  Quit(kStalledExitCode);
}

}  // namespace fw
