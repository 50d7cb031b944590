// The two ways the program alerts the user: a modal message box with one text, and the
// system beep. Both go through a presenter that the front end installs; tests install one
// that records what was shown, in order.
#pragma once

#include <functional>
#include <string>

namespace fw {

// Shows text and returns once the user has dismissed it.
void MsgBox(const std::string& text);
void Beep();

using MessagePresenter = std::function<void(const std::string& text)>;
using BeepPresenter = std::function<void()>;

// Each returns the presenter installed before. An empty presenter restores the default,
// which writes to stderr: a program without a front end still leaves a trace of what it
// would have shown.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);
BeepPresenter SetBeepPresenter(BeepPresenter presenter);

}  // namespace fw
