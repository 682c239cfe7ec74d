#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "bridge/app_to_ie_members.h"
#include "bridge/class_registration.h"
#include "bridge/course_text.h"
#include "bridge/external_handler.h"
#include "bridge/server_switches.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "platform/code_page.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "ui/message_box.h"

namespace kelvra::bridge {
namespace {

using platform::RegistryHive;

// Records every step of a hand-off in one log so the order can be checked.
struct Log {
    std::vector<std::string> steps;
};

class FakeKey final : public platform::RegistryKey {
  public:
    FakeKey(Log& log, std::map<std::string, platform::RegistryValue>& values, bool fail_set,
            std::string closing = {})
        : log_(log), values_(values), fail_set_(fail_set), closing_(std::move(closing)) {}
    // A key made with a name to log records when it is closed.
    ~FakeKey() override {
        if (!closing_.empty())
            log_.steps.push_back("close " + closing_);
    }
    std::optional<platform::RegistryValue> Query(std::string_view name) const override {
        auto it = values_.find(std::string(name));
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }
    void Set(std::string_view name, const platform::RegistryValue& value) override {
        if (fail_set_)
            throw OsError("set failed", 5);
        log_.steps.push_back("set " + std::string(name) + "=" + value.TextValue());
        values_[std::string(name)] = value;
    }
    void DeleteValue(std::string_view name) override { values_.erase(std::string(name)); }

  private:
    Log& log_;
    std::map<std::string, platform::RegistryValue>& values_;
    bool fail_set_;
    std::string closing_;
};

class FakeRegistry final : public platform::Registry {
  public:
    explicit FakeRegistry(Log& log) : log_(log) {}
    std::unique_ptr<platform::RegistryKey> Open(RegistryHive hive, std::string_view path,
                                                platform::RegistryAccess) const override {
        auto it = keys_.find(Name(hive, path));
        if (it == keys_.end())
            return nullptr;
        return std::make_unique<FakeKey>(log_, it->second, fail_set);
    }
    std::unique_ptr<platform::RegistryKey> Create(RegistryHive hive,
                                                  std::string_view path) override {
        if (fail_create)
            throw OsError("create failed", 5);
        log_.steps.push_back("create " + Name(hive, path));
        return std::make_unique<FakeKey>(log_, keys_[Name(hive, path)], fail_set);
    }
    std::unique_ptr<platform::RegistryKey> CreateFullAccess(RegistryHive hive,
                                                            std::string_view path) override {
        if (fail_create)
            throw OsError("create failed", 5);
        log_.steps.push_back("create full-access " + Name(hive, path));
        return std::make_unique<FakeKey>(log_, keys_[Name(hive, path)], fail_set, Name(hive, path));
    }
    // As Windows does, a key that still has subkeys is refused (access denied).
    bool DeleteKey(RegistryHive hive, std::string_view path) override {
        log_.steps.push_back("delete " + Name(hive, path));
        if (fail_delete)
            throw OsError("delete failed", 5);
        const std::string prefix = Name(hive, path) + "\\";
        for (const auto& key : keys_) {
            if (key.first.rfind(prefix, 0) == 0)
                throw OsError("key has subkeys", 5);
        }
        return keys_.erase(Name(hive, path)) > 0;
    }
    static std::string Name(RegistryHive hive, std::string_view path) {
        const char* h = hive == RegistryHive::ClassesRoot   ? "HKCR\\"
                        : hive == RegistryHive::CurrentUser ? "HKCU\\"
                                                            : "HKLM\\";
        return h + std::string(path);
    }
    std::string Text(RegistryHive hive, std::string_view path, std::string_view name) const {
        auto key = Open(hive, path, platform::RegistryAccess::Read);
        if (!key)
            return "<no key>";
        auto v = key->Query(name);
        return v ? v->TextValue() : "<no value>";
    }

    bool fail_create = false;
    bool fail_set = false;
    bool fail_delete = false;
    mutable std::map<std::string, std::map<std::string, platform::RegistryValue>> keys_;

  private:
    Log& log_;
};

// A code page that holds ASCII only, like a Western one for Chinese text.
class AsciiCodePage final : public platform::CodePage {
  public:
    unsigned Id() const override { return 1252; }
    std::string FromUtf16(std::u16string_view text) const override {
        std::string out;
        for (char16_t c : text)
            out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    std::u16string ToUtf16(std::string_view bytes) const override {
        return std::u16string(bytes.begin(), bytes.end());
    }
};

// A code page that holds everything (UTF-8 bytes).
class FullCodePage final : public platform::CodePage {
  public:
    unsigned Id() const override { return 65001; }
    std::string FromUtf16(std::u16string_view text) const override {
        return text::Utf16ToUtf8(text);
    }
    std::u16string ToUtf16(std::string_view bytes) const override {
        return text::Utf8ToUtf16(bytes);
    }
};

class FakeWindows final : public WhiteboardWindows {
  public:
    explicit FakeWindows(Log& log) : log_(log) {}
    std::uintptr_t Find(const std::string& window_class) override {
        log_.steps.push_back("find " + window_class);
        return running ? 42 : 0;
    }
    void Notify(std::uintptr_t window, const std::string& ansi) override {
        log_.steps.push_back("notify " + std::to_string(window) + " " + ansi);
    }
    bool running = false;

  private:
    Log& log_;
};

class FakeShell final : public Shell {
  public:
    explicit FakeShell(Log& log) : log_(log) {}
    void Open(const std::string& file, const std::string& parameters,
              const std::string& directory) override {
        log_.steps.push_back("open " + file + " | " + parameters + " | " + directory);
    }

  private:
    Log& log_;
};

class FakeBoxes final : public ui::MessageBoxes {
  public:
    explicit FakeBoxes(Log& log) : log_(log) {}
    ui::MsgResult Show(const ui::MessageBoxRequest& r) override {
        log_.steps.push_back("box " + r.caption + " | " + r.text + " | " + ui::ToString(r.buttons) +
                             " | " + ui::ToString(r.icon));
        return ui::MsgResult::Ok;
    }

  private:
    Log& log_;
};

class LaunchTest : public ::testing::Test {
  protected:
    LaunchTest() : registry(log), windows(log), shell(log), boxes(log) {
        ports.whiteboard_path = [this] { return path; };
        ports.registry = &registry;
        ports.code_page = &full;
        ports.windows = &windows;
        ports.shell = &shell;
        ports.boxes = &boxes;
        ports.separator = '\\';
        saved = CurrentLaunchPorts();
        SetLaunchPorts(ports);
    }
    ~LaunchTest() override { SetLaunchPorts(saved); }

    static std::array<Variant, 6> Texts(const char* a, const char* b, const char* c, const char* d,
                                        const char* e, const char* f) {
        return {Variant::TextUtf8(a), Variant::TextUtf8(b), Variant::TextUtf8(c),
                Variant::TextUtf8(d), Variant::TextUtf8(e), Variant::TextUtf8(f)};
    }

    Log log;
    FakeRegistry registry;
    FakeWindows windows;
    FakeShell shell;
    FakeBoxes boxes;
    FullCodePage full;
    AsciiCodePage ascii;
    LaunchPorts ports;
    LaunchPorts saved;
    std::string path = "C:\\Program Files\\Norrix\\Ondrix\\Ondrix.exe";
};

TEST_F(LaunchTest, RunningWhiteboardGetsRegistryValueBeforeMessage) {
    windows.running = true;
    AppToIeMembers::CreateVantle(Texts("a", "b", "c", "d", "e", "f"));
    const std::vector<std::string> expected = {
        "find VantleMainFrame", "create full-access HKCU\\SOFTWARE\\kelvramsg",
        "set msgbody=\"a&&b&&c&&d&&e&&f&&\"", "close HKCU\\SOFTWARE\\kelvramsg",
        "notify 42 \"a&&b&&c&&d&&e&&f&&\""};
    EXPECT_EQ(log.steps, expected);
}

TEST_F(LaunchTest, NotRunningStartsProgramAndLeavesRegistryAlone) {
    AppToIeMembers::CreateVantle(Texts("a", "b", "c", "d", "e", "f"));
    const std::vector<std::string> expected = {
        "find VantleMainFrame",
        "open C:\\Program Files\\Norrix\\Ondrix\\Ondrix.exe | \"a&&b&&c&&d&&e&&f&&\" | "
        "C:\\Program Files\\Norrix\\Ondrix\\"};
    EXPECT_EQ(log.steps, expected);
    EXPECT_TRUE(registry.keys_.empty());
}

TEST_F(LaunchTest, NoWhiteboardShowsMessageAndIgnoresArguments) {
    path.clear();
    windows.running = true;
    // A number would fail the call if the arguments were examined.
    std::array<Variant, 6> values{Variant::Int(kVtI4, 1)};
    AppToIeMembers::CreateVantle(values);
    ASSERT_EQ(log.steps.size(), 1u);
    EXPECT_EQ(log.steps[0],
              std::string("box Kelvra教学云客户端 | ") + kNoWhiteboardMessage + " | OK | None");
}

TEST_F(LaunchTest, UndefinedValuesGiveTwelveAmpersands) {
    windows.running = true;
    AppToIeMembers::CreateVantle({});
    EXPECT_EQ(log.steps.back(), "notify 42 \"&&&&&&&&&&&&\"");
}

TEST_F(LaunchTest, ChineseTextSurvivesOnlyWhereTheCodePageHasIt) {
    windows.running = true;
    AppToIeMembers::CreateVantle(Texts("语文", "b", "c", "d", "e", "f"));
    EXPECT_EQ(registry.Text(RegistryHive::CurrentUser, "SOFTWARE\\kelvramsg", "msgbody"),
              "\"语文&&b&&c&&d&&e&&f&&\"");
    ports.code_page = &ascii;
    SetLaunchPorts(ports);
    AppToIeMembers::CreateVantle(Texts("语文", "b", "c", "d", "e", "f"));
    EXPECT_EQ(registry.Text(RegistryHive::CurrentUser, "SOFTWARE\\kelvramsg", "msgbody"),
              "\"??&&b&&c&&d&&e&&f&&\"");
    EXPECT_EQ(log.steps.back(), "notify 42 \"??&&b&&c&&d&&e&&f&&\"");
}

TEST_F(LaunchTest, KeyThatCannotBeCreatedStillSendsMessage) {
    windows.running = true;
    registry.fail_create = true;
    AppToIeMembers::CreateVantle(Texts("a", "b", "c", "d", "e", "f"));
    EXPECT_EQ(log.steps.back(), "notify 42 \"a&&b&&c&&d&&e&&f&&\"");
}

TEST_F(LaunchTest, FailedWriteFailsCallWithoutMessage) {
    windows.running = true;
    registry.fail_set = true;
    const MemberOutcome out =
        GuardMember([&] { AppToIeMembers::CreateVantle(Texts("a", "b", "c", "d", "e", "f")); });
    EXPECT_EQ(out.hresult, kEUnexpected);
    EXPECT_EQ(out.description, "Failed to set data for 'msgbody'");
    EXPECT_EQ(log.steps.back(), "close HKCU\\SOFTWARE\\kelvramsg");
    for (const auto& step : log.steps)
        EXPECT_EQ(step.rfind("notify", 0), std::string::npos);
}

struct BadKind {
    Variant value;
    const char* description;
};

TEST_F(LaunchTest, WrongKindsFailBeforeAnythingIsHandedOn) {
    const BadKind cases[] = {
        {Variant::Int(kVtI4, 7), "Could not convert variant of type (Integer) into type (OleStr)"},
        {Variant::Real(kVtR8, 1.5),
         "Could not convert variant of type (Double) into type (OleStr)"},
        {Variant::Int(kVtI2, 1), "Could not convert variant of type (Smallint) into type (OleStr)"},
        {Variant::Currency(10000),
         "Could not convert variant of type (Currency) into type (OleStr)"},
        {Variant::Date(2.0), "Could not convert variant of type (Date) into type (OleStr)"},
        {Variant::Bool(true), "Could not convert variant of type (Boolean) into type (OleStr)"},
        {Variant::Null(), "Could not convert variant of type (Null) into type (OleStr)"},
        {Variant::Int(kVtUi8, 1), "Could not convert variant of type (UInt64) into type (OleStr)"},
        {Variant::Object(kVtDispatch), "Invalid variant operation"},
        {Variant::Object(kVtUnknown), "Invalid variant operation"},
        {Variant::ErrorCode(-2147352572), "Invalid variant operation"},
        {Variant::Array(kVtVariant), "Invalid variant operation"},
    };
    windows.running = true;
    for (const BadKind& c : cases) {
        for (int position : {0, 5}) {
            log.steps.clear();
            auto values = Texts("a", "b", "c", "d", "e", "f");
            values[position] = c.value;
            const MemberOutcome out = GuardMember([&] { AppToIeMembers::CreateVantle(values); });
            EXPECT_EQ(out.hresult, kEUnexpected) << c.description;
            EXPECT_EQ(out.description, c.description);
            // Only the window lookup may not have happened either: nothing at all ran.
            EXPECT_TRUE(log.steps.empty()) << c.description;
        }
    }
    EXPECT_TRUE(registry.keys_.empty());
}

TEST_F(LaunchTest, ExternalMessageRunsHandOff) {
    windows.running = true;
    const std::string reply = HandleExternalMessage(
        R"j({"member":"createvantle","args":[{"vt":8,"text":"a\"q"},{"vt":8,"text":"\u8bed"},)j"
        R"j({"vt":0},{"vt":8,"text":"d"},{"vt":8,"text":"e"},{"vt":8,"text":"f"}]})j");
    EXPECT_EQ(reply, R"j({"ok":true})j");
    EXPECT_EQ(registry.Text(RegistryHive::CurrentUser, "SOFTWARE\\kelvramsg", "msgbody"),
              "\"a\"q&&语&&&&d&&e&&f&&\"");
}

TEST_F(LaunchTest, ExternalMessageFailuresBecomeReplies) {
    windows.running = true;
    struct Case {
        const char* message;
        const char* reply;
    };
    const Case cases[] = {
        {R"j({"member":"CreateVantle","args":[{"vt":5},{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Could not convert variant of type (Double) into type (OleStr)"})j"},
        {R"j({"member":"CreateVantle","args":[{"vt":0},{"vt":1},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Could not convert variant of type (Null) into type (OleStr)"})j"},
        {R"j({"member":"CreateVantle","args":[{"vt":9},{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Invalid variant operation"})j"},
        {R"j({"member":"CreateVantle","args":[{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Invalid number of parameters"})j"},
        {R"j({"member":"Other","args":[]})j", R"j({"ok":false,"message":"Unknown name"})j"},
        {R"j({"member":)j", R"j({"ok":false,"message":"Malformed external message"})j"},
        // Bad escapes, a vt that is no number, and trailing text are refused, not guessed.
        {R"j({"member":"CreateVantle","args":[{"vt":8,"text":"\uZZZZ"},{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Malformed external message"})j"},
        {R"j({"member":"CreateVantle","args":[{"vt":8,"text":"\q"},{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Malformed external message"})j"},
        {R"j({"member":"CreateVantle","args":[{"vt":-},{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]})j",
         R"j({"ok":false,"message":"Malformed external message"})j"},
        {R"j({"member":"CreateVantle","args":[{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0},{"vt":0}]}x)j",
         R"j({"ok":false,"message":"Malformed external message"})j"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HandleExternalMessage(c.message), c.reply) << c.message;
    }
    EXPECT_TRUE(registry.keys_.empty());
}

TEST(AppToIeMembersTest, IdentityIsTheClientsText) {
    EXPECT_EQ(AppToIeMembers::GetKelvraApp(), Variant::TextUtf8("kelvraeduapp"));
    EXPECT_EQ(AppToIeMembers::GetKelvraApp().vt(), kVtBstr);
}

// ShowHint takes values of any kind and touches nothing: no box, no window, no registry,
// no program, even with a whiteboard running.
TEST_F(LaunchTest, ShowHintAcceptsAnyValuesAndTouchesNothing) {
    windows.running = true;
    const std::pair<Variant, Variant> cases[] = {
        {Variant::TextUtf8("title"), Variant::TextUtf8("content")},
        {Variant::Int(kVtI4, 1), Variant::Real(kVtR8, 2.5)},
        {Variant(), Variant()},
        {Variant::Null(), Variant::Bool(true)},
    };
    for (const auto& [title, content] : cases)
        EXPECT_NO_THROW(AppToIeMembers::ShowHint(title, content));
    EXPECT_TRUE(log.steps.empty());
    EXPECT_TRUE(registry.keys_.empty());
}

TEST(GuardMemberTest, KeepsNegativeCodesOtherwiseUnexpected) {
    EXPECT_EQ(GuardMember([] {}).hresult, 0);
    EXPECT_EQ(GuardMember([] { throw AutomationError("x", kDispETypeMismatch); }).hresult,
              kDispETypeMismatch);
    EXPECT_EQ(GuardMember([] { throw AutomationError("x", 5); }).hresult, kEUnexpected);
    const MemberOutcome plain = GuardMember([] { throw Error("plain failure"); });
    EXPECT_EQ(plain.hresult, kEUnexpected);
    EXPECT_EQ(plain.description, "plain failure");
    EXPECT_EQ(GuardMember([] { throw 3; }).hresult, kEUnexpected);
}

struct SwitchCase {
    std::vector<std::string> args;
    StartMode mode;
    bool per_user;
};

TEST(StartSwitchesTest, FirstRowOfTableWins) {
    const SwitchCase cases[] = {
        {{}, StartMode::Standalone, false},
        {{"/REGSERVER"}, StartMode::Register, false},
        {{"-regserver"}, StartMode::Register, false},
        {{"/RegServer"}, StartMode::Register, false},
        {{"REGSERVER"}, StartMode::Standalone, false},
        {{"/REGSERVERX"}, StartMode::Standalone, false},
        {{"/"}, StartMode::Standalone, false},
        {{"/UNREGSERVER", "/REGSERVER"}, StartMode::Register, false},
        {{"/EMBEDDING", "/REGSERVER"}, StartMode::Automation, false},
        {{"-Automation"}, StartMode::Automation, false},
        {{"/UnRegServer"}, StartMode::Unregister, false},
        {{"-RegServerPerUser"}, StartMode::Register, true},
        {{"/UNREGSERVERPERUSER"}, StartMode::Unregister, true},
        {{"/REGSERVERPERUSER", "/UNREGSERVER"}, StartMode::Unregister, false},
        {{"x", "-embedding"}, StartMode::Automation, false},
    };
    for (const SwitchCase& c : cases) {
        const StartSwitches s = ParseStartSwitches(c.args);
        EXPECT_EQ(s.mode, c.mode) << (c.args.empty() ? "" : c.args[0]);
        EXPECT_EQ(s.per_user, c.per_user) << (c.args.empty() ? "" : c.args[0]);
    }
}

TEST(ClassRegistrationTest, SevenEntriesInOrderAndFullRemoval) {
    for (bool per_user : {false, true}) {
        Log log;
        FakeRegistry registry(log);
        WriteClassEntries(registry, ClassRegistryEntries("C:\\PROGRA~1\\k.exe", per_user, 1, 0),
                          per_user);
        const std::string root = per_user ? "HKCU\\Software\\Classes\\" : "HKCR\\";
        const std::string cls = root + "CLSID\\{B5BDEB81-41E0-485B-B52F-78E07C10CED1}";
        const std::vector<std::string> expected = {
            "create " + cls,
            "set =TKelvraAppToIe Object",
            "create " + cls + "\\LocalServer32",
            "set =C:\\PROGRA~1\\k.exe",
            "create " + root + "KelvraeduApp.TKelvraAppToIe",
            "set =TKelvraAppToIe Object",
            "create " + root + "KelvraeduApp.TKelvraAppToIe\\Clsid",
            "set ={B5BDEB81-41E0-485B-B52F-78E07C10CED1}",
            "create " + cls + "\\ProgID",
            "set =KelvraeduApp.TKelvraAppToIe",
            "create " + cls + "\\Version",
            "set =1.0",
            "create " + cls + "\\TypeLib",
            "set ={212C8E3A-26A9-400C-A40C-745E3BBB6D2B}",
        };
        EXPECT_EQ(log.steps, expected);
        EXPECT_EQ(registry.keys_.size(), 7u);
        DeleteClassEntries(registry, per_user);
        EXPECT_TRUE(registry.keys_.empty());
    }
}

TEST(ClassRegistrationTest, FailuresWhileRegisteringAndUnregistering) {
    Log log;
    FakeRegistry registry(log);
    registry.fail_set = true;
    try {
        WriteClassEntries(registry, ClassRegistryEntries("k.exe", false, 1, 0), false);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Error creating system registry entry");
    }
    registry.fail_delete = true;
    EXPECT_NO_THROW(DeleteClassEntries(registry, false));
    EXPECT_EQ(std::count_if(log.steps.begin(), log.steps.end(),
                            [](const std::string& s) { return s.rfind("delete", 0) == 0; }),
              7);
}

}  // namespace
}  // namespace kelvra::bridge
