#include "app/error_box.h"

#include <string>

#include "app/app_identity.h"

namespace kelvra::app {

std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (text.empty() || text.back() != '.')
        text.push_back('.');
    return text;
}

void ShowErrorBox(ui::MessageBoxes& boxes, std::string_view message) {
    ui::MessageBoxRequest request;
    request.text = ErrorBoxText(message);
    request.caption = kApplicationTitle;
    request.buttons = ui::MsgButtons::Ok;
    request.icon = ui::MsgIcon::Error;
    boxes.Show(request);
}

}  // namespace kelvra::app
