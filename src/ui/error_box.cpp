#include "ui/error_box.h"

namespace kelvra::ui {

std::string ErrorBoxText(std::string_view message) {
    const bool ends_in_stop = !message.empty() && message.back() == '.';
    std::string text;
    text.reserve(message.size() + 1);
    text.append(message.data(), message.size());
    if (!ends_in_stop)
        text.push_back('.');
    return text;
}

void ShowErrorBox(MessageBoxes& boxes, std::string_view caption, std::string_view message) {
    MessageBoxRequest request;
    request.text = ErrorBoxText(message);
    request.caption = std::string(caption);
    request.buttons = MsgButtons::Ok;
    request.icon = MsgIcon::Error;
    boxes.Show(request);
}

}  // namespace kelvra::ui
