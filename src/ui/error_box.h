// The application's error box for errors that escape an event or creation handler.
#pragma once

#include <string>
#include <string_view>

#include "ui/message_box.h"

namespace kelvra::ui {

// The message with a full stop appended when it does not end in one.
std::string ErrorBoxText(std::string_view message);
// Shows the error box: ErrorBoxText(message), the given caption (the application title),
// stop icon, OK.
void ShowErrorBox(MessageBoxes& boxes, std::string_view caption, std::string_view message);

}  // namespace kelvra::ui
