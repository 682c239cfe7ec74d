#include "bridge/app_to_ie_members.h"

#include "bridge/whiteboard_launch.h"

namespace kelvra::bridge {

Variant AppToIeMembers::GetKelvraApp() {
    return Variant::TextUtf8(kAppIdentity);
}

void AppToIeMembers::CreateVantle(const std::array<Variant, 6>& values, ui::NativeWindow owner) {
    const std::array<Variant, 6> copies = values;
    LaunchWhiteboard(CurrentLaunchPorts(), copies, owner);
}

void AppToIeMembers::ShowHint(const Variant& hint_tilte, const Variant& hint_content) {
    // The copies are taken and dropped: the member has no effect by design.
    Variant title = hint_tilte;
    Variant content = hint_content;
    (void)title;
    (void)content;
}

}  // namespace kelvra::bridge
