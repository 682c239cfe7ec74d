// The three page-facing members of the automation object, over portable values. The
// Windows COM class and the Linux window.external handler both call these.
#pragma once

#include <array>

#include "bridge/automation_error.h"
#include "bridge/variant.h"
#include "ui/message_box.h"

namespace kelvra::bridge {

inline constexpr const char* kAppIdentity = "kelvraeduapp";
inline constexpr const char* kProgId = "KelvraeduApp.TKelvraAppToIe";
inline constexpr const char* kInterfaceIid = "{BC78F5E2-4170-4FEC-936E-6D71D06E62F0}";
inline constexpr const char* kClassClsid = "{B5BDEB81-41E0-485B-B52F-78E07C10CED1}";
inline constexpr const char* kLibraryLibid = "{212C8E3A-26A9-400C-A40C-745E3BBB6D2B}";
inline constexpr const char* kClassDescription = "TKelvraAppToIe Object";

class AppToIeMembers {
  public:
    // The read-only property GetKelvraApp: always the text "kelvraeduapp".
    static Variant GetKelvraApp();
    // Runs the whiteboard hand-off with the current launch ports; its message box is modal
    // to owner (the window whose page called, or null). Throws AutomationError.
    static void CreateVantle(const std::array<Variant, 6>& values,
                             ui::NativeWindow owner = nullptr);
    // Accepted and ignored; values of any kind are fine.
    static void ShowHint(const Variant& hint_tilte, const Variant& hint_content);
};

}  // namespace kelvra::bridge
