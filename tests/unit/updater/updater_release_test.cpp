// The updater's run against a loopback update server: every way a release is refused
// leaves the application folder byte for byte as it was and starts nothing; a signed,
// newer release is handed to the real restart program, which installs it and starts it.
#include <gcrypt.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "engine_fixture.h"
#include "headless_ui.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "restart_fixture_app.h"
#include "szdd_writer.h"
#include "ui/application.h"
#include "update/crypto_library.h"
#include "update/file_version_note.h"
#include "update/process_runner.h"
#include "update/release_signature.h"
#include "update/restart_handoff.h"
#include "updater/uninstall_entry.h"
#include "updater/updater_run.h"
#include "updater/updater_window.h"

// This program stands in for the installed client: its file version is the installed one.
KELVRA_FILE_VERSION_NOTE(2, 1, 4, 0);

namespace kelvra::test {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char kClient[] = "kelvraedu.exe";
#else
constexpr char kClient[] = "kelvraedu";
#endif

// Ed25519 signature by the private key seed_hex over message, as the signature file holds it.
std::string Sign(const std::string& seed_hex, const std::string& message) {
    update::EnsureCryptoLibrary();
    const auto seed = update::BytesOfHex(seed_hex, 32);
    gcry_sexp_t key = nullptr, data = nullptr, sig = nullptr;
    EXPECT_EQ(
        gcry_sexp_build(&key, nullptr, "(private-key (ecc (curve Ed25519) (flags eddsa) (d %b)))",
                        32, seed->data()),
        0u);
    EXPECT_EQ(gcry_sexp_build(&data, nullptr, "(data (flags eddsa) (hash-algo sha512) (value %b))",
                              static_cast<int>(message.size()), message.data()),
              0u);
    EXPECT_EQ(gcry_pk_sign(&sig, data, key), 0u);
    std::string raw;
    for (const char* part : {"r", "s"}) {
        gcry_sexp_t token = gcry_sexp_find_token(sig, part, 0);
        std::size_t n = 0;
        const char* bytes = gcry_sexp_nth_data(token, 1, &n);
        EXPECT_EQ(n, 32u);
        raw.append(bytes, n);
        gcry_sexp_release(token);
    }
    gcry_sexp_release(sig);
    gcry_sexp_release(data);
    gcry_sexp_release(key);
    return update::HexOf(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size()) + "\n";
}

std::string TestKeySeed() {
    return KELVRA_TEST_KEY_SEED;
}

// Every file below dir, by its path relative to dir, with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(fs::u8path(dir))) {
        const std::u8string path = entry.path().u8string();
        if (entry.is_regular_file())
            files[std::string(path.begin(), path.end())] =
                ReadBytes(std::string(path.begin(), path.end()));
    }
    return files;
}

// Starts what it is asked to start (the restart program) and names a process that has
// already ended as the updater, so that the restart program goes ahead at once.
class HandOffRunner final : public update::ProcessRunner {
  public:
    HandOffRunner() {
        ChildProcess ended(TestProgram("exit_code_helper"), {});
        ended.Wait(std::chrono::seconds(30));
        pid_ = static_cast<std::uint32_t>(ended.Id());
    }
    std::vector<std::string> opened;
    bool ShellOpen(const std::string& program, const std::string& params) override {
        opened.push_back(program);
        return update::SystemProcessRunner().ShellOpen(program, params);
    }
    std::optional<std::uint32_t> RunAndWait(const std::string& cmd, bool show) override {
        return update::SystemProcessRunner().RunAndWait(cmd, show);
    }
    std::uint32_t CurrentProcessId() const override { return pid_; }
    void SetLastErrorValue(std::uint32_t) override {}
    std::uint32_t LastErrorValue() const override { return 0; }

  private:
    std::uint32_t pid_ = 0;
};

struct Release {
    std::string version = "2.1.5.0";
    std::string components;
    struct File {
        std::string name;
        std::string bytes;
        std::string keys;  // further keys of its file section
    };
    std::vector<File> files;
    std::string control;
    std::optional<std::string> signature;
    std::map<std::string, std::string> served;  // what the server sends instead
};

class UpdaterReleaseTest : public EngineTest {
  protected:
    UpdaterReleaseTest()
        : home_("HOME", home_dir_.path()),
          xdg_docs_("XDG_DOCUMENTS_DIR", std::nullopt),
          registry_("KELVRA_REGISTRY_DIR", home_dir_.File("registry")) {
        fs::create_directories(fs::u8path(home_dir_.File("Documents")));
        if (auto docs = update::DocumentsFolder())
            fs::create_directories(fs::u8path(*docs));
        client_ = app_dir_.File(kClient);
        WriteBytes(client_, ReadBytes(platform::SystemFileSystem().ExecutablePath()));
        fs::permissions(fs::u8path(client_), fs::perms::owner_all);
        WriteBytes(app_dir_.File("version.txt"), "v1\n");
        fixture_ = ReadBytes(TestProgram("restart_fixture_app"));
    }

    // The signed release 2.1.5.0: the fixture program as the new client (single-file
    // compressed), its version file, a cabinet extracted into the download folder whose
    // "a.txt" is a component too, and the packed restart program the Linux client keeps.
    Release GoodRelease() {
        Release r;
        const std::string packed = tools::SzddPackedName(kClient);
        r.files = {{packed, tools::SzddCompress(fixture_, kClient[sizeof kClient - 2]), ""},
                   {"version.txt", "v2\n", ""},
                   {"release.cab", Cabinet("mszip.cab"), "compressed=1\r\ntargetdir={TMP}\r\n"},
                   {"kusetup.ex_", ReadBytes(TestBinDir() + Separator() + "kusetup.ex_"), ""}};
        r.components = packed + " version.txt a.txt kusetup.ex_";
        SignRelease(r, TestKeySeed());
        return r;
    }

    void SignRelease(Release& r, const std::string& seed) {
        r.control = "[update]\r\nnewversion=" + r.version + "\r\n[application]\r\nappupdate=1\r\n" +
                    "appname=" + kClient + "\r\nappcomps=" + r.components +
                    "\r\nsilentrestart=1\r\n[files]\r\ncount=" + std::to_string(r.files.size()) +
                    "\r\n";
        for (std::size_t i = 0; i < r.files.size(); ++i) {
            const Release::File& f = r.files[i];
            r.control += "[file" + std::to_string(i + 1) +
                         "]\r\nurl=" + server_.Url("/kelvraeduclient/" + f.name) +
                         "\r\nsha256=" + update::Sha256Hex(f.bytes) +
                         "\r\nsize=" + std::to_string(f.bytes.size()) + "\r\n" + f.keys;
        }
        r.signature = Sign(seed, r.control);
    }

    // while_running, when given, is called with the updater's application before it runs.
    updater::UpdaterResult Run(const Release& r,
                               const std::function<void(ui::Application&)>& while_running = {}) {
        server_.Serve("/kelvraeduclient/update.inf", Reply(200, r.control));
        server_.Serve("/kelvraeduclient/update.inf.sig",
                      r.signature ? Reply(200, *r.signature) : Reply(404, "missing"));
        for (const Release::File& f : r.files) {
            const auto instead = r.served.find(f.name);
            server_.Serve("/kelvraeduclient/" + f.name,
                          Reply(200, instead != r.served.end() ? instead->second : f.bytes));
        }
        ui::Application app(ui_, ui::ApplicationMessageBoxes());
        updater::UpdaterSetup setup;
        setup.app = &app;
        setup.update_host = "127.0.0.1:" + std::to_string(server_.port());
        setup.client_path = client_;
        setup.key = update::ReleasePublicKey();
        setup.registry = &platform::SystemRegistry();
        setup.processes = &runner_;
        const fs::path cwd = fs::current_path();  // the updater works in the application folder
        if (while_running)
            while_running(app);
        const auto result = updater::RunUpdater(setup);
        fs::current_path(cwd);
        app.DestroyForms();
        return result;
    }

    static std::string Cabinet(const std::string& name) {
        return ReadBytes(TestBinDir() + Separator() + "cab_fixtures" + Separator() + name);
    }

    std::string Log() const {
        const std::string path = *update::DocumentsFolder() + Separator() + "KUPDATE.LOG";
        return PathExists(path) ? ReadBytes(path) : std::string();
    }

    TempDir home_dir_;
    TempDir app_dir_;
    ScopedEnv home_;
    ScopedEnv xdg_docs_;
    ScopedEnv registry_;
    std::string client_;
    std::string fixture_;
    headless::HeadlessUi ui_;
    HandOffRunner runner_;
};

TEST_F(UpdaterReleaseTest, RefusedReleasesChangeNothingAndSayWhy) {
    const std::string other_key(64, '7');
    struct Case {
        const char* name;
        std::function<void(Release&)> spoil;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"unsigned", [](Release& r) { r.signature.reset(); }, "has no signature"},
        {"signed by another key", [&](Release& r) { SignRelease(r, other_key); },
         "signature is not the publisher's"},
        {"one byte tampered", [](Release& r) { r.control[r.control.find("2.1.5.0")] = '3'; },
         "signature is not the publisher's"},
        {"truncated", [](Release& r) { r.control.resize(r.control.size() - 40); },
         "signature is not the publisher's"},
        {"malformed signature", [](Release& r) { r.signature = "0f" + r.signature->substr(2, 90); },
         "signature is not the publisher's"},
        {"same version",
         [&](Release& r) {
             r.version = "2.1.4.0";
             SignRelease(r, TestKeySeed());
         },
         "version 2.1.4.0 is not newer than 2.1.4.0"},
        {"older version",
         [&](Release& r) {
             r.version = "2.0.9.9";
             SignRelease(r, TestKeySeed());
         },
         "version 2.0.9.9 is not newer than 2.1.4.0"},
        {"file with another hash",
         [](Release& r) {
             std::string bytes = r.files[0].bytes;
             bytes[bytes.size() / 2] ^= 1;
             r.served[r.files[0].name] = bytes;
         },
         "does not match its signed size and SHA-256"},
        {"file larger than signed",
         [](Release& r) { r.served["version.txt"] = "v2\n" + std::string(20000, 'x'); },
         "version.txt is larger than its signed size"},
        {"file shorter than signed", [](Release& r) { r.served["version.txt"] = "v"; },
         "version.txt does not match its signed size and SHA-256"},
        {"file that is not a component",
         [&](Release& r) {
             r.components = r.files[0].name + " a.txt";
             SignRelease(r, TestKeySeed());
         },
         "version.txt is neither an application component nor a cabinet for them"},
        {"damaged cabinet",
         [&](Release& r) {
             r.files[2].bytes = Cabinet("damaged.cab");
             SignRelease(r, TestKeySeed());
         },
         "release.cab cannot be extracted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Release r = GoodRelease();
        c.spoil(r);
        const auto before = Snapshot(app_dir_.path());
        const std::size_t log_before = Log().size();
        const std::size_t boxes_before = DialogRecords().size();
        EXPECT_EQ(Run(r), updater::UpdaterResult::Refused);
        EXPECT_EQ(Snapshot(app_dir_.path()), before);
        EXPECT_TRUE(runner_.opened.empty()) << "the restart program was started";
        const std::string log = Log().substr(log_before);
        const std::size_t refused = log.find("Update refused: ");
        ASSERT_NE(refused, std::string::npos) << log;
        EXPECT_THAT(log.substr(refused, log.find_first_of("\r\n", refused) - refused),
                    testing::EndsWith(c.logged));
        const auto boxes = DialogRecords();
        ASSERT_EQ(boxes.size(), boxes_before + 1);
        const std::string text = boxes.back().fields.at("text");
        EXPECT_NE(text.find("已拒绝此次更新"), std::string::npos) << text;
        EXPECT_NE(text.find("程序文件未作任何更改"), std::string::npos) << text;
    }
}

TEST_F(UpdaterReleaseTest, SignedNewerReleaseIsInstalledByTheRestartProgram) {
    const std::size_t log_before = Log().size();
    auto entry = platform::SystemRegistry().Create(platform::RegistryHive::CurrentUser,
                                                   updater::kUninstallKey);
    entry->Set("InstallLocation", platform::RegistryValue::Text(app_dir_.path()));
    entry->Set("DisplayVersion", platform::RegistryValue::Text("2.1.4.0"));

    EXPECT_EQ(Run(GoodRelease()), updater::UpdaterResult::HandedOff) << Log();
    ASSERT_EQ(runner_.opened.size(), 1u);
    EXPECT_EQ(platform::FileNameOf(runner_.opened[0], Separator()), "kusetup.exe");
    // The restart program expands the new client into place and starts it.
    ASSERT_TRUE(WaitUntil([&] { return !RestartFixtureRuns(app_dir_.path()).empty(); },
                          std::chrono::seconds(30)))
        << Log();
    EXPECT_NE(RestartFixtureRuns(app_dir_.path())[0].find("|v2"), std::string::npos)
        << Log().substr(log_before);
    EXPECT_EQ(ReadBytes(client_), fixture_);
    EXPECT_EQ(ReadBytes(app_dir_.File("a.txt")), "alpha");
    EXPECT_EQ(ReadBytes(app_dir_.File("kusetup.ex_")),
              ReadBytes(TestBinDir() + Separator() + "kusetup.ex_"));
    EXPECT_FALSE(PathExists(app_dir_.File(tools::SzddPackedName(kClient))));
    EXPECT_EQ(entry->Query("DisplayVersion")->TextValue(), "2.1.5.0");
    EXPECT_EQ(Log().find("Update refused", log_before), std::string::npos);
    EXPECT_TRUE(DialogRecords().empty());
    entry.reset();
    platform::SystemRegistry().DeleteKey(platform::RegistryHive::CurrentUser,
                                         updater::kUninstallKey);
}

// Cancel in the updater's window once the release's files are downloading (the window then
// shows the versions from and to): nothing is handed to the restart program and the folder
// stays byte for byte as it was.
TEST_F(UpdaterReleaseTest, CancelWhileDownloadingChangesNothing) {
    const auto before = Snapshot(app_dir_.path());
    std::string versions;
    bool running = true;
    std::function<void()> watch;
    ui::Application* app = nullptr;
    // Runs at each pump of the updater's messages until the window shows a download.
    watch = [&] {
        if (!running)
            return;
        for (ui::Form* form : app->Forms()) {
            auto* window = dynamic_cast<updater::UpdaterWindow*>(form);
            const std::string file = window != nullptr ? window->FileLabel().Caption() : "";
            if (file.find("正在下载") != std::string::npos &&
                file.find("update.inf") == std::string::npos) {
                versions = window->VersionLabel().Caption();
                window->CancelButton().Click();
                return;
            }
        }
        ui_.Post(watch);
    };
    EXPECT_EQ(Run(GoodRelease(),
                  [&](ui::Application& a) {
                      app = &a;
                      ui_.Post(watch);
                  }),
              updater::UpdaterResult::Cancelled);
    running = false;
    ui_.RunPending();
    EXPECT_EQ(versions, "版本 2.1.4.0 → 2.1.5.0");
    EXPECT_EQ(Snapshot(app_dir_.path()), before);
    EXPECT_TRUE(runner_.opened.empty()) << "the restart program was started";
    EXPECT_TRUE(DialogRecords().empty());
}

}  // namespace
}  // namespace kelvra::test
