#include "ui/window.h"

#include <algorithm>
#include <utility>

#include "ui/application.h"
#include "ui/event_loop.h"
#include "ui/front_end.h"

namespace fw {
namespace {

// Never destroyed, like the event loop's lists: windows still open at the end of the process
// are not torn down in the middle of static destruction.
std::vector<Ref<Window>>& Open() {
  static auto* windows = new std::vector<Ref<Window>>;
  return *windows;
}

std::vector<WindowClassDeclaration>& Declared() {
  static std::vector<WindowClassDeclaration> classes;
  return classes;
}

}  // namespace

Window::Window(std::string className) : className_(std::move(className)) {}

Window::~Window() {
  for (const Ref<Control>& control : controls_) control->owner_ = nullptr;
}

void Window::Adopt(Control& control, std::string name) {
  control.name_ = std::move(name);
  control.owner_ = this;
  controls_.emplace_back(&control);
}

void Window::Changed() {
  if (open_) CurrentFrontEnd().WindowChanged(*this);
}

void Window::SetTitle(std::string title) {
  if (title_ == title) return;
  title_ = std::move(title);
  Changed();
}

void Window::SetLeft(int left) {
  if (left_ == left) return;
  left_ = left;
  Changed();
}

void Window::SetTop(int top) {
  if (top_ == top) return;
  top_ = top;
  Changed();
}

void Window::SetSize(int width, int height) {
  width = std::clamp(width, MinWidth, std::max(MinWidth, MaxWidth));
  height = std::clamp(height, MinHeight, std::max(MinHeight, MaxHeight));
  if (!built_) {
    width_ = width;
    height_ = height;
    return;
  }
  const int dx = width - width_;
  const int dy = height - height_;
  if (dx == 0 && dy == 0) return;
  for (const Ref<Control>& control : controls_) {
    Control& c = *control;
    if (c.LockLeft && c.LockRight) {
      c.Width += dx;
    } else if (c.LockRight) {
      c.Left += dx;
    }
    if (c.LockTop && c.LockBottom) {
      c.Height += dy;
    } else if (c.LockBottom) {
      c.Top += dy;
    }
  }
  width_ = width;
  height_ = height;
  Changed();
}

void Window::Build() {
  if (built_) return;
  const Ref<Window> keep(this);  // the Open handlers may drop every other reference
  Layout();
  built_ = true;
  CreateControls();
  open_ = true;
  Open().emplace_back(this);
  // The copy: an Open handler may add controls.
  const std::vector<Ref<Control>> controls = controls_;
  for (const Ref<Control>& control : controls) {
    if (control->Open) control->Open();
  }
  Event_Open();
  if (open_ && Visible) CurrentFrontEnd().WindowOpened(*this);
}

void Window::Show() {
  if (!built_) Build();
  if (!open_ || Visible) return;
  Visible = true;
  CurrentFrontEnd().WindowOpened(*this);
}

void Window::ShowModal() {
  Show();
  if (!open_) return;
  const Ref<Window> keep(this);
  const ModalScope scope(this);
  modal_ = true;
  CurrentFrontEnd().WindowModal(*this);
  RunEventLoopUntil([this] { return !open_; });
  modal_ = false;
}

void Window::StopTimers() {
  for (const Ref<Control>& control : controls_) {
    if (auto* timer = dynamic_cast<Timer*>(control.get())) timer->SetMode(Timer::kOff);
  }
}

void Window::Close() {
  if (!open_) return;
  const Ref<Window> keep(this);
  open_ = false;
  StopTimers();
  std::erase(Open(), keep);
  CurrentFrontEnd().WindowClosed(*this);
}

void Window::PressCloseBox() {
  if (CloseButton) Close();
}

Control* Window::FindControl(std::string_view name) const {
  for (const Ref<Control>& control : controls_) {
    if (control->Name() == name) return control.get();
  }
  return nullptr;
}

const std::vector<Ref<Window>>& OpenWindows() { return Open(); }

void DeclareWindowClasses(std::vector<WindowClassDeclaration> declarations) { Declared() = std::move(declarations); }

const std::vector<WindowClassDeclaration>& DeclaredWindowClasses() { return Declared(); }

Window* FindOpenWindow(std::string_view className) {
  for (const Ref<Window>& window : Open()) {
    if (window->ClassName() == className) return window.get();
  }
  return nullptr;
}

void CloseAllWindows() {
  while (!Open().empty()) {
    const Ref<Window> last = Open().back();
    last->Close();
  }
}

}  // namespace fw
