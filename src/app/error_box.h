// The application's error box for errors that escape an event or creation handler.
#pragma once

#include <string_view>

#include "ui/message_box.h"

namespace kelvra::app {

// The message with a full stop appended when it does not end in one.
std::string ErrorBoxText(std::string_view message);
// Shows the error box: ErrorBoxText(message), caption = application title, stop icon, OK.
void ShowErrorBox(ui::MessageBoxes& boxes, std::string_view message);

}  // namespace kelvra::app
