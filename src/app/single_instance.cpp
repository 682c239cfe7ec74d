#include "app/single_instance.h"

#include "app/app_identity.h"
#include "platform/named_mutex.h"
#include "ui/message_box.h"

namespace kelvra::app {

bool AcquireSingleInstance(platform::NamedMutexes& mutexes, ui::MessageBoxes& boxes) {
    if (mutexes.CreateHeld(kSingleInstanceMutex) != platform::MutexOutcome::AlreadyExists) {
        return true;
    }
    ui::MessageBoxRequest request;
    request.text = kSingleInstanceMessage;
    request.caption = kApplicationTitle;
    request.buttons = ui::MsgButtons::Ok;
    request.icon = ui::MsgIcon::Information;
    boxes.Show(request);
    return false;
}

}  // namespace kelvra::app
