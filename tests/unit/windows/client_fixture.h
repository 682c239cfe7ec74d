// A client wired to the headless backends, a settings folder of its own, an in-memory
// registry and recording file-system, shell and box ports.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_identity.h"
#include "headless_browser.h"
#include "headless_ui.h"
#include "platform/code_page.h"
#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/named_mutex.h"
#include "platform/registry.h"
#include "test_support.h"
#include "ui/application.h"
#include "windows/context.h"
#include "windows/entry.h"
#include "windows/frm_browser.h"
#include "windows/frm_login.h"
#include "windows/frm_main.h"

namespace kelvra::test {

// The system file system, logging settings reads as "read <file name>"; reads can fail.
class LoggingFileSystem final : public platform::FileSystem {
  public:
    explicit LoggingFileSystem(headless::HeadlessUi& ui) : ui_(ui) {}
    char Separator() const override { return real().Separator(); }
    bool FileExists(std::string_view p) const override { return real().FileExists(p); }
    bool DirectoryExists(std::string_view p) const override { return real().DirectoryExists(p); }
    void MakeDirectory(std::string_view p) override { real().MakeDirectory(p); }
    std::string ReadFile(std::string_view p) const override {
        ui_.Log("read " + platform::FileNameOf(p, Separator()));
        if (fail_reads)
            throw OsError("Access is denied", 5);
        return real().ReadFile(p);
    }
    void ReplaceAtomically(std::string_view p, std::string_view bytes) override {
        ui_.Log("write " + platform::FileNameOf(p, Separator()));
        real().ReplaceAtomically(p, bytes);
    }
    void AppendFile(std::string_view p, std::string_view b) override { real().AppendFile(p, b); }
    void RemoveFile(std::string_view p) override { real().RemoveFile(p); }
    std::string ExecutablePath() const override {
        return executable ? *executable : real().ExecutablePath();
    }

    bool fail_reads = false;
    std::optional<std::string> executable;

  private:
    static platform::FileSystem& real() { return platform::SystemFileSystem(); }
    headless::HeadlessUi& ui_;
};

// An in-memory registry logging "registry open <path>" and "registry set <path>\<name>".
class MemoryRegistry final : public platform::Registry {
  public:
    explicit MemoryRegistry(headless::HeadlessUi& ui) : ui_(ui) {}
    using Values = std::map<std::string, platform::RegistryValue>;
    std::map<std::string, Values> keys;

    std::unique_ptr<platform::RegistryKey> Open(platform::RegistryHive hive, std::string_view path,
                                                platform::RegistryAccess) const override {
        ui_.Log("registry open " + std::string(path));
        auto* self = const_cast<MemoryRegistry*>(this);
        auto it = self->keys.find(Name(hive, path));
        if (it == self->keys.end())
            return nullptr;
        return std::make_unique<Key>(*self, it->first);
    }
    std::unique_ptr<platform::RegistryKey> Create(platform::RegistryHive hive,
                                                  std::string_view path) override {
        const std::string name = Name(hive, path);
        keys[name];
        return std::make_unique<Key>(*this, name);
    }
    bool DeleteKey(platform::RegistryHive hive, std::string_view path) override {
        return keys.erase(Name(hive, path)) > 0;
    }
    static std::string Name(platform::RegistryHive hive, std::string_view path) {
        const char* h = hive == platform::RegistryHive::LocalMachine  ? "HKLM\\"
                        : hive == platform::RegistryHive::CurrentUser ? "HKCU\\"
                                                                      : "HKCR\\";
        return h + std::string(path);
    }

  private:
    class Key final : public platform::RegistryKey {
      public:
        Key(MemoryRegistry& r, std::string name) : r_(r), name_(std::move(name)) {}
        std::optional<platform::RegistryValue> Query(std::string_view n) const override {
            auto& values = r_.keys[name_];
            auto it = values.find(std::string(n));
            if (it == values.end())
                return std::nullopt;
            return it->second;
        }
        void Set(std::string_view n, const platform::RegistryValue& v) override {
            r_.ui_.Log("registry set " + name_ + "\\" + std::string(n));
            r_.keys[name_][std::string(n)] = v;
        }
        void DeleteValue(std::string_view n) override { r_.keys[name_].erase(std::string(n)); }

      private:
        MemoryRegistry& r_;
        std::string name_;
    };
    headless::HeadlessUi& ui_;
};

class FakeMutexes final : public platform::NamedMutexes {
  public:
    platform::MutexOutcome outcome = platform::MutexOutcome::Created;
    std::vector<std::string> names;
    platform::MutexOutcome CreateHeld(std::string_view name) override {
        names.emplace_back(name);
        return outcome;
    }
};

class FakeExternal final : public browser::Dispatch {};

// Scripted update engine: answers, or throws, and counts the questions.
class FakeUpdateChecker final : public windows::UpdateChecker {
  public:
    struct Script {
        bool available = false;
        bool unreachable = false;
        int calls = 0;
        std::vector<windows::UpdateEngineProperties> created;
    };
    explicit FakeUpdateChecker(Script& script) : script_(script) {}
    bool NewVersionAvailable(bool init_path) override {
        EXPECT_FALSE(init_path);
        ++script_.calls;
        if (script_.unreachable)
            throw Error("Cannot open the update control file");
        return script_.available;
    }

  private:
    Script& script_;
};

inline constexpr const char* kDefaultRoot = "default.kelvra.test";
inline constexpr const char* kFallbackRoot = "fallback.norrix.test";

struct ClientFixture {
    TempDir appdata;
    ScopedEnv env_appdata{"APPDATA", appdata.path()};
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    headless::HeadlessBrowserBackend browsers{ui};
    headless::HeadlessShell shell{ui};
    LoggingFileSystem files{ui};
    MemoryRegistry registry{ui};
    FakeMutexes mutexes;
    windows::ProcessState state;
    FakeUpdateChecker::Script updates;
    int externals_made = 0;
    std::vector<ui::NativeWindow> external_owners;  // the window of each request
    windows::WindowsContext context{
        browsers,
        platform::SystemEnvironment(),
        files,
        registry,
        platform::SystemCodePage(),
        shell,
        state,
        [this](ui::NativeWindow owner) -> std::shared_ptr<browser::Dispatch> {
            ++externals_made;
            external_owners.push_back(owner);
            return std::make_shared<FakeExternal>();
        },
        [this](const windows::UpdateEngineProperties& p,
               ui::NativeWindow) -> std::unique_ptr<windows::UpdateChecker> {
            updates.created.push_back(p);
            return std::make_unique<FakeUpdateChecker>(updates);
        },
        kDefaultRoot,
        kFallbackRoot,
        "update.kelvra.test"};
    ui::Application app{ui, boxes};  // last: destroys the windows before the ports go

    std::string ConfigDir() const { return appdata.File("kelvraeduConfig"); }
    std::string SettingsFile() const { return ConfigDir() + Separator() + "sysparams.ini"; }
    void WriteSettings(const std::string& bytes) {
        platform::SystemFileSystem().MakeDirectory(ConfigDir());
        WriteBytes(SettingsFile(), bytes);
    }
    headless::HeadlessBrowser& Browser(const std::string& form_class, std::size_t index = 0) {
        headless::HeadlessBrowser* b = browsers.Find(form_class, index);
        if (b == nullptr)
            throw Error("no browser on " + form_class);
        return *b;
    }
    // Queues: the login window's browser reaches its page, then a teacher page.
    void QueueSignIn(std::size_t login_index = 0) {
        ui.Post([this, login_index] {
            auto& login = Browser("TFrmLogin", login_index);
            login.CompletePending("登录");
            login.Complete("http://" + state.WebRoot + "/home/techer/index", "首页");
        });
    }
    // The main window after a first sign-in on "r.test", shown, without a running loop.
    windows::TFrmMain& StartSignedIn() {
        windows::SetUpApplication(app);
        WriteSettings("[SYSTEM]\r\nwebroot=r.test\r\n");
        QueueSignIn();
        auto& main = app.CreateForm<windows::TFrmMain>(context);
        state.FrmMain = &main;
        main.Show();
        Browser("TFrmMain").CompletePending("教师首页");
        return main;
    }
    int Run() {
        windows::ClientPorts ports{app, mutexes, context, nullptr};
        return windows::RunClient(ports);
    }
    // Log lines with one of the prefixes, in order.
    std::vector<std::string> Trace(const std::vector<std::string>& prefixes) const {
        std::vector<std::string> out;
        for (const std::string& line : const_cast<headless::HeadlessUi&>(ui).log())
            for (const std::string& p : prefixes)
                if (line.rfind(p, 0) == 0) {
                    out.push_back(line);
                    break;
                }
        return out;
    }
};

}  // namespace kelvra::test
