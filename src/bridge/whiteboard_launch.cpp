#include "bridge/whiteboard_launch.h"

#include "app/app_identity.h"
#include "bridge/automation_error.h"
#include "bridge/course_text.h"
#include "bridge/whiteboard_ports.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "ui/message_box.h"

namespace kelvra::bridge {

namespace {

// The key is opened with full access and closed again before the whiteboard is told.
void WriteHandOffValue(platform::Registry& registry, const AnsiText& course) {
    std::unique_ptr<platform::RegistryKey> key;
    try {
        key = registry.CreateFullAccess(platform::RegistryHive::CurrentUser, kHandOffKey);
    } catch (const OsError&) {
        // A key that cannot be opened or created only skips the write.
        return;
    }
    try {
        key->Set(kHandOffValue,
                 platform::RegistryValue::Text(text::Utf16ToUtf8(course.wide), platform::kRegSz));
    } catch (const OsError&) {
        throw AutomationError(std::string("Failed to set data for '") + kHandOffValue + "'");
    }
}

}  // namespace

void LaunchWhiteboard(const LaunchPorts& ports, const std::array<Variant, 6>& values,
                      ui::NativeWindow owner) {
    const std::string path = ports.whiteboard_path ? ports.whiteboard_path() : std::string();
    if (path.empty()) {
        ui::MessageBoxRequest box;
        box.owner = owner;
        box.text = kNoWhiteboardMessage;
        box.caption = app::kApplicationTitle;
        box.buttons = ui::MsgButtons::Ok;
        box.icon = ui::MsgIcon::None;
        ports.boxes->Show(box);
        return;
    }
    const AnsiText course = ThroughCodePage(*ports.code_page, BuildCourseText(values));
    const std::uintptr_t window = ports.windows->Find(kWhiteboardWindowClass);
    if (window != 0) {
        WriteHandOffValue(*ports.registry, course);
        ports.windows->Notify(window, course.ansi);
        return;
    }
    const std::string directory = platform::DirectoryOf(path, ports.separator) + ports.separator;
    ports.shell->Open(path, text::Utf16ToUtf8(course.wide), directory);
}

namespace {
LaunchPorts& Storage() {
    static LaunchPorts ports = [] {
        LaunchPorts p;
        p.whiteboard_path = [] { return std::string(); };
        p.registry = &platform::SystemRegistry();
        p.code_page = &platform::SystemCodePage();
        p.windows = &SystemWhiteboardWindows();
        p.shell = &SystemShell();
        p.boxes = &ui::ApplicationMessageBoxes();
        p.separator = platform::SystemFileSystem().Separator();
        return p;
    }();
    return ports;
}
}  // namespace

LaunchPorts& CurrentLaunchPorts() {
    return Storage();
}
void SetLaunchPorts(const LaunchPorts& ports) {
    Storage() = ports;
}

}  // namespace kelvra::bridge
