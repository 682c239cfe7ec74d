#include "browser/key_routing.h"

#include "browser/hosted_browser.h"

namespace kelvra::browser {

bool IsExcludedKeyCode(std::uintptr_t key) {
    return key == 8 || (key >= 37 && key <= 40) || (key >= 48 && key <= 57) ||
           (key >= 68 && key <= 85) || key == 87 || key == 89 || key == 90;
}

void RouteKeyMessage(THostedBrowser* browser, const ui::Message& message, bool& handled) {
    if (browser == nullptr) {
        handled = false;
        return;
    }
    BrowserControl& control = browser->control();
    handled = control.IsDialogMessage(message);
    if (!handled || browser->Busy())
        return;
    if (!control.HasInPlaceActiveObject())
        return;
    const bool key_message = message.message == ui::kWmKeyDown || message.message == ui::kWmKeyUp;
    if (key_message && message.wparam <= 255 && IsExcludedKeyCode(message.wparam))
        return;
    control.TranslateAccelerator(message);
}

}  // namespace kelvra::browser
