// A page's window.external call as the client receives it from a web process, on arbitrary
// bytes: the Invoke parameters are decoded, the JSON message is read and dispatched, and the
// hand-off runs against recording stand-ins of the desktop. Whatever a page sends, the reply
// is one its script can parse, the hand-off happens exactly when the reply says so and in
// the one way the whiteboard's state calls for, and nothing else is touched.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/app_identity.h"
#include "bridge/external_handler.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "browser/gtk/external_channel.h"
#include "fuzz_sandbox.h"
#include "platform/code_page.h"
#include "platform/posix/code_page_posix.h"
#include "platform/registry.h"
#include "ui/message_box.h"

namespace kelvra {
namespace {

using fuzz::Check;

// What the hand-off did to the desktop during one call.
struct Desk {
    bool running = false;
    int boxes = 0, notified = 0, opened = 0, written = 0;
    std::string box_text, box_caption, notified_text, opened_file, opened_parameters, opened_dir;
};
Desk desk;

class RecordingKey final : public platform::RegistryKey {
  public:
    std::optional<platform::RegistryValue> Query(std::string_view) const override {
        return std::nullopt;
    }
    void Set(std::string_view name, const platform::RegistryValue&) override {
        Check(name == bridge::kHandOffValue);
        ++desk.written;
    }
    void DeleteValue(std::string_view) override { Check(false); }
};

class RecordingRegistry final : public platform::Registry {
  public:
    std::unique_ptr<platform::RegistryKey> Open(platform::RegistryHive, std::string_view,
                                                platform::RegistryAccess) const override {
        return nullptr;
    }
    std::unique_ptr<platform::RegistryKey> Create(platform::RegistryHive hive,
                                                  std::string_view path) override {
        Check(hive == platform::RegistryHive::CurrentUser && path == bridge::kHandOffKey);
        return std::make_unique<RecordingKey>();
    }
    bool DeleteKey(platform::RegistryHive, std::string_view) override {
        Check(false);
        return false;
    }
};

class RecordingWindows final : public bridge::WhiteboardWindows {
  public:
    std::uintptr_t Find(const std::string& window_class) override {
        Check(window_class == bridge::kWhiteboardWindowClass);
        return desk.running ? 7 : 0;
    }
    void Notify(std::uintptr_t window, const std::string& ansi) override {
        Check(window == 7);
        ++desk.notified;
        desk.notified_text = ansi;
    }
};

class RecordingShell final : public bridge::Shell {
  public:
    void Open(const std::string& file, const std::string& parameters,
              const std::string& directory) override {
        ++desk.opened;
        desk.opened_file = file;
        desk.opened_parameters = parameters;
        desk.opened_dir = directory;
    }
};

class RecordingBoxes final : public ui::MessageBoxes {
  public:
    ui::MsgResult Show(const ui::MessageBoxRequest& request) override {
        ++desk.boxes;
        desk.box_text = request.text;
        desk.box_caption = request.caption;
        return ui::MsgResult::Ok;
    }
};

RecordingRegistry registry;
RecordingWindows windows;
RecordingShell shell;
RecordingBoxes boxes;

constexpr const char* kWhiteboard = "/opt/whiteboard/vantle";
constexpr std::uint64_t kPage = 0x8000000000000001;
constexpr std::string_view kOk = R"({"ok":true})";
constexpr std::string_view kFailed = R"({"ok":false,"message":")";

enum class Whiteboard { None, Running, NotRunning };

void Prepare(Whiteboard state) {
    desk = Desk{};
    desk.running = state == Whiteboard::Running;
    // The schools' ANSI code page: multi-byte, with characters it cannot hold.
    static const std::unique_ptr<platform::CodePage> gbk = platform::MakeIconvCodePage("GBK");
    bridge::LaunchPorts ports;
    ports.whiteboard_path = [state] { return state == Whiteboard::None ? "" : kWhiteboard; };
    ports.registry = &registry;
    ports.code_page = gbk.get();
    ports.windows = &windows;
    ports.shell = &shell;
    ports.boxes = &boxes;
    ports.separator = '/';
    bridge::SetLaunchPorts(ports);
}

// The body of a JSON string: no bare quote or control character, only the escapes JSON has.
bool IsJsonStringBody(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char c = s[i];
        if (c < 0x20 || c == '"')
            return false;
        if (c != '\\')
            continue;
        if (++i == s.size())
            return false;
        if (s[i] == 'u') {
            if (i + 4 >= s.size())
                return false;
            for (std::size_t k = 1; k <= 4; ++k) {
                if (!g_ascii_isxdigit(s[i + k]))
                    return false;
            }
            i += 4;
        } else if (std::string_view("\"\\/bfnrt").find(s[i]) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// {"ok":true}, or {"ok":false,"message":"<description>"} with a description; UTF-8 either
// way, since the reply crosses back as a D-Bus string.
bool IsReply(const std::string& reply) {
    if (!g_utf8_validate(reply.data(), static_cast<gssize>(reply.size()), nullptr))
        return false;
    if (reply == kOk)
        return true;
    return reply.size() > kFailed.size() + 2 && reply.starts_with(kFailed) &&
           reply.ends_with("\"}") &&
           IsJsonStringBody(
               std::string_view(reply).substr(kFailed.size(), reply.size() - kFailed.size() - 2));
}

// "v1&&v2&&...&&v6&&" in double quotes.
bool IsCourseText(const std::string& s) {
    return s.size() >= 14 && s.front() == '"' && s.ends_with("&&\"");
}

// The hand-off ran, once and in the state's own way, exactly when the reply is success.
void CheckDesk(Whiteboard state, const std::string& reply) {
    const bool ok = reply == kOk;
    const bool none = state == Whiteboard::None, running = state == Whiteboard::Running;
    Check(desk.boxes == (ok && none ? 1 : 0));
    Check(desk.written == (ok && running ? 1 : 0));
    Check(desk.notified == (ok && running ? 1 : 0));
    Check(desk.opened == (ok && state == Whiteboard::NotRunning ? 1 : 0));
    if (desk.boxes)
        Check(desk.box_text == bridge::kNoWhiteboardMessage &&
              desk.box_caption == app::kApplicationTitle);
    if (desk.notified)
        Check(IsCourseText(desk.notified_text));
    if (desk.opened)
        Check(desk.opened_file == kWhiteboard && desk.opened_dir == "/opt/whiteboard/" &&
              IsCourseText(desk.opened_parameters));
}

}  // namespace

// The system's own desktop ports are the recorders too, so no path in this process reaches
// the real registry, windows, programs or dialogs.
namespace platform {
Registry& SystemRegistry() {
    return registry;
}
}  // namespace platform
namespace bridge {
WhiteboardWindows& SystemWhiteboardWindows() {
    return windows;
}
Shell& SystemShell() {
    return shell;
}
}  // namespace bridge
namespace ui {
MessageBoxes& ApplicationMessageBoxes() {
    return boxes;
}
}  // namespace ui

}  // namespace kelvra

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kelvra::Whiteboard;
    const std::string message(reinterpret_cast<const char*>(data), size);

    std::string replies[3];
    for (Whiteboard state : {Whiteboard::None, Whiteboard::Running, Whiteboard::NotRunning}) {
        kelvra::Prepare(state);
        std::string& reply = replies[static_cast<int>(state)];
        reply = kelvra::bridge::HandleExternalMessage(message);
        kelvra::Check(kelvra::IsReply(reply));
        kelvra::CheckDesk(state, reply);
    }
    // Whether the whiteboard runs changes only the way of the hand-off; without one, the
    // message is still read and judged, but the values are not.
    const std::string& none = replies[static_cast<int>(Whiteboard::None)];
    const std::string& running = replies[static_cast<int>(Whiteboard::Running)];
    kelvra::Check(running == replies[static_cast<int>(Whiteboard::NotRunning)]);
    kelvra::Check(none == kelvra::kOk || running == none);

    // Through the channel, as GDBus delivers a call (it lets only UTF-8 without NULs
    // through): the same message reaches the handler with its page, and the same reply
    // comes back.
    if (!g_utf8_validate(message.data(), static_cast<gssize>(message.size()), nullptr))
        return 0;
    GVariant* parameters =
        g_variant_ref_sink(g_variant_new("(ts)", kelvra::kPage, message.c_str()));
    kelvra::Prepare(Whiteboard::Running);
    const std::string reply = kelvra::browser::gtk::AnswerExternalCall(
        parameters, [&](std::uint64_t page, std::string_view text) {
            kelvra::Check(page == kelvra::kPage && text == message);
            return kelvra::bridge::HandleExternalMessage(text);
        });
    g_variant_unref(parameters);
    kelvra::Check(reply == running);
    kelvra::CheckDesk(Whiteboard::Running, reply);
    return 0;
}
