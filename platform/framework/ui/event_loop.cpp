#include "ui/event_loop.h"

#include <algorithm>
#include <deque>
#include <utility>
#include <vector>

#include "os/event_loop.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/event_loop_timers.h"
#include "ui/front_end.h"
#include "ui/window.h"

namespace fw {
namespace {

// With the real clock, the longest sleep of a pass: front ends that wake the loop through a
// descriptor need no more, and a lost wake-up costs at most this.
constexpr double kLongestSleepSeconds = 0.5;
// With a virtual clock, the real time a pass gives device answers from other threads before
// it lets virtual time jump ahead.
constexpr double kVirtualSettleSeconds = 0.001;

struct Input {
  Ref<Window> window;
  std::function<void()> action;
};

struct LoopState {
  std::deque<Input> input;
  std::vector<Timer*> timers;   // running ones, in the order they were scheduled
  std::vector<Window*> modals;  // nullptr: a message box
  int handling = 0;             // input actions running, nested ones counted
};

// Never destroyed: a timer of a window still open when the process ends unschedules itself
// while static objects are being destroyed.
LoopState& State() {
  static auto* state = new LoopState;
  return *state;
}

// Whether input for window may reach the program now.
bool Accepts(const Window* window) {
  const std::vector<Window*>& modals = State().modals;
  if (modals.empty()) return true;
  const Window* top = modals.back();
  if (top == nullptr) return false;  // a message box takes all input
  return window == nullptr || window == top;
}

bool DeliverOneInput() {
  std::deque<Input>& queue = State().input;
  while (!queue.empty() && !QuitRequested()) {
    Input next = std::move(queue.front());
    queue.pop_front();
    if (next.window && !next.window->IsOpen()) continue;
    if (!Accepts(next.window.get())) continue;
    ++State().handling;
    struct Handled {
      ~Handled() { --State().handling; }
    } handled;
    next.action();
    return true;
  }
  return false;
}

double SecondsUntil(Milliseconds due) {
  const Milliseconds left = due - Now();
  return left.count() <= 0 ? 0.0 : static_cast<double>(left.count()) / 1000.0;
}

// Sleeps until device input, front-end input or the next timer. With a virtual clock the
// sleep is short and real; when nothing came, virtual time jumps to the next timer.
void WaitForWork() {
  FrontEnd& frontEnd = CurrentFrontEnd();
  const std::optional<Milliseconds> due = timers::NextDue();
  VirtualClock* virtualClock = CurrentVirtualClock();
  double wait = virtualClock ? kVirtualSettleSeconds : kLongestSleepSeconds;
  if (due) wait = std::min(wait, SecondsUntil(*due));
  if (const std::optional<double> frontEndWait = frontEnd.MaxWaitSeconds()) {
    wait = std::min(wait, std::max(*frontEndWait, 0.0));
  }
  if (virtualClock) virtualClock->eventLoopWaiting = true;
  const bool ran = OSRunEventLoopOnce(wait);
  if (virtualClock) virtualClock->eventLoopWaiting = false;
  if (ran || !State().input.empty() || !virtualClock) return;
  if (due) {
    virtualClock->now = std::max(virtualClock->now, *due);
  } else {
    virtualClock->Advance(VirtualClock::kIdleStep);
    frontEnd.Idle();
  }
}

}  // namespace

void PostInput(Ref<Window> window, std::function<void()> action) {
  State().input.push_back(Input{std::move(window), std::move(action)});
}

bool InputPending() { return !State().input.empty(); }

bool HandlingInput() { return State().handling > 0; }

void RunEventLoopPass() {
  if (QuitRequested()) return;
  CurrentFrontEnd().Update();
  const bool workWaiting = !State().input.empty() || timers::NextDue().value_or(Milliseconds::max()) <= Now();
  if (workWaiting) {
    OSRunEventLoopOnce(0);
  } else {
    WaitForWork();
  }
  timers::FireDue();
  DeliverOneInput();
}

void RunEventLoopUntil(const std::function<bool()>& done) {
  while (!done() && !QuitRequested()) RunEventLoopPass();
}

ModalScope::ModalScope(Window* window) { State().modals.push_back(window); }

ModalScope::~ModalScope() { State().modals.pop_back(); }

void ResetEventLoop() {
  State().input.clear();
  timers::UnscheduleAll();
}

namespace timers {

void Schedule(Timer& timer) {
  std::vector<Timer*>& list = State().timers;
  if (std::find(list.begin(), list.end(), &timer) == list.end()) list.push_back(&timer);
}

void Unschedule(Timer& timer) { std::erase(State().timers, &timer); }

std::optional<Milliseconds> NextDue() {
  std::optional<Milliseconds> next;
  for (const Timer* timer : State().timers) {
    if (timer->Running()) continue;
    if (!next || timer->Due() < *next) next = timer->Due();
  }
  return next;
}

bool FireDue() {
  const Milliseconds now = Now();
  // A snapshot, earliest first: an action may start, stop or destroy timers, its own too.
  std::vector<Ref<Timer>> due;
  for (Timer* timer : State().timers) {
    if (timer->Due() <= now && !timer->Running()) due.emplace_back(timer);
  }
  std::stable_sort(due.begin(), due.end(),
                   [](const Ref<Timer>& a, const Ref<Timer>& b) { return a->Due() < b->Due(); });
  for (const Ref<Timer>& timer : due) {
    if (QuitRequested()) break;
    const std::vector<Timer*>& running = State().timers;
    if (std::find(running.begin(), running.end(), timer.get()) == running.end()) continue;
    timer->FireIfDue(now);
  }
  return !due.empty();
}

void UnscheduleAll() {
  // Each timer is switched off, so that none fires again when its window lives on.
  std::vector<Timer*> running = std::exchange(State().timers, {});
  for (Timer* timer : running) timer->SetMode(Timer::kOff);
}

}  // namespace timers
}  // namespace fw
