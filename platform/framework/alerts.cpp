#include "alerts.h"

#include <cstdio>
#include <utility>

namespace fw {
namespace {

MessagePresenter& CurrentMessagePresenter() {
  static MessagePresenter presenter;
  return presenter;
}

BeepPresenter& CurrentBeepPresenter() {
  static BeepPresenter presenter;
  return presenter;
}

}  // namespace

void MsgBox(const std::string& text) {
  // A copy, so that a presenter may replace itself while it shows the box.
  const MessagePresenter presenter = CurrentMessagePresenter();
  if (presenter) {
    presenter(text);
  } else {
    std::fprintf(stderr, "[message] %s\n", text.c_str());
  }
}

void Beep() {
  const BeepPresenter presenter = CurrentBeepPresenter();
  if (presenter) {
    presenter();
  } else {
    std::fputc('\a', stderr);
  }
}

MessagePresenter SetMessagePresenter(MessagePresenter presenter) {
  return std::exchange(CurrentMessagePresenter(), std::move(presenter));
}

BeepPresenter SetBeepPresenter(BeepPresenter presenter) {
  return std::exchange(CurrentBeepPresenter(), std::move(presenter));
}

}  // namespace fw
