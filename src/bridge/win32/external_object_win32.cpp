#include "bridge/external_object.h"

#include "bridge/win32/app_to_ie_object.h"
#include "bridge/win32/external_dispatch.h"

namespace kelvra::bridge {

std::shared_ptr<browser::Dispatch> NewExternalObject(ui::NativeWindow owner) {
    // Pages' objects are never counted among the automation server's objects.
    win32::TTKelvraAppToIe* object =
        win32::TTKelvraAppToIe::Create(false, static_cast<HWND>(owner));
    if (!object)
        throw std::bad_alloc();
    return std::make_shared<win32::ExternalDispatch>(static_cast<IDispatch*>(object));
}

}  // namespace kelvra::bridge
