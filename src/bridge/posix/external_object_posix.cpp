#include "bridge/external_object.h"

#include "bridge/posix/script_external.h"

namespace kelvra::bridge {

std::shared_ptr<browser::Dispatch> NewExternalObject(ui::NativeWindow) {
    return std::make_shared<ScriptExternal>();
}

}  // namespace kelvra::bridge
