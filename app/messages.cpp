#include "messages.h"

#include "alerts.h"
#include "text_functions.h"
#include "ui/application.h"

std::string WithDetail(const std::string& text, const std::string& detail) {
  return text + fw::EndOfLine + fw::EndOfLine + detail;
}

void GiveUp(const std::string& message) {
  fw::HoldQuit(false);  // the update has ended: the user may quit again
  fw::MsgBox(message);
  fw::Quit(0);
}
