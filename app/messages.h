// How the updater tells the user: one modal message box with one text.
#pragma once

#include <string>

// A message with a detail: the text, two line ends and the detail.
std::string WithDetail(const std::string& text, const std::string& detail);

// Tells the user why the update cannot go on and asks the program to end with code 0; the
// user may quit again from the message on.
void GiveUp(const std::string& message);
