#include "ui/error_box.h"

namespace kelvra::ui {

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (text.empty() || text.back() != '.')
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
