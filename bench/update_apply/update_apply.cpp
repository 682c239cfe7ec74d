// Applying a published release with the updater's procedure, against a plain fetch of the
// same files from the same loopback server, alternating in one run. Prints the medians and
// the ratio.
//
// Usage: update_apply RELEASE_DIR PORT [PUBLISH_MS] [ROUNDS]
//   RELEASE_DIR  what kelvra-publish wrote (its kelvraeduclient folder is served)
//   PORT         the loopback port the release's addresses name
//   PUBLISH_MS   how long kelvra-publish took, printed against the same baseline
//
// Timed on the apply side: RunUpdater from the start (control file and signature fetched
// and verified, every file downloaded, its size and SHA-256 checked, the cabinet expanded,
// the restart program unpacked and started) until the new client, started by the restart
// program after it has moved the components into the application folder, has written its
// mark. Timed on the plain side: fetching every served file (control file, signature,
// cabinet, client) into a file with libcurl or WinInet, one request each.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench_http_server.h"
#include "headless_ui.h"
#include "plain_fetch.h"
#include "platform/file_system.h"
#include "test_support.h"
#include "ui/application.h"
#include "ui/dialog_script.h"
#include "update/file_version_note.h"
#include "update/process_runner.h"
#include "update/release_signature.h"
#include "updater/updater_run.h"

// This program stands in for the installed client; the release carries 1.0.0.1.
KELVRA_FILE_VERSION_NOTE(1, 0, 0, 0);

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using kelvra::test::ReadBytes;
using kelvra::test::WriteBytes;

#ifdef _WIN32
constexpr char kClient[] = "kelvraedu.exe";
#else
constexpr char kClient[] = "kelvraedu";
#endif

std::string Text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// Starts what it is asked to start (the restart program) and names a process that has
// already ended as the updater, so that the restart program goes ahead at once, as it does
// once the real updater program has ended.
class HandOffRunner final : public kelvra::update::ProcessRunner {
  public:
    HandOffRunner() {
        kelvra::test::ChildProcess ended(kelvra::test::TestProgram("update_apply_client"),
                                         {"--not-installed"});
        ended.Wait(std::chrono::seconds(30));
        pid_ = static_cast<std::uint32_t>(ended.Id());
    }
    bool ShellOpen(const std::string& program, const std::string& params) override {
        return kelvra::update::SystemProcessRunner().ShellOpen(program, params);
    }
    std::optional<std::uint32_t> RunAndWait(const std::string& cmd, bool show) override {
        return kelvra::update::SystemProcessRunner().RunAndWait(cmd, show);
    }
    std::uint32_t CurrentProcessId() const override { return pid_; }
    void SetLastErrorValue(std::uint32_t) override {}
    std::uint32_t LastErrorValue() const override { return 0; }

  private:
    std::uint32_t pid_ = 0;
};

double Median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

struct Bench {
    fs::path work;
    std::string host;
    std::map<std::string, std::string> files;  // served path -> bytes
    std::string client_bytes;                  // the release's client
    std::string installed_bytes;               // this program, as the installed client
    kelvra::headless::HeadlessUi ui;
    HandOffRunner runner;

    // One update of a fresh application folder; the milliseconds it took, or a negative
    // value after printing why it failed.
    double Apply(int round) {
        const fs::path app_dir = work / ("app" + std::to_string(round));
        fs::create_directories(app_dir);
#ifndef _WIN32
        // An installed Linux client has its web extension's folder; the release replaces
        // the extension in it.
        fs::create_directories(app_dir / "web-extensions");
#endif
        const std::string client = Text(app_dir / kClient);
        WriteBytes(client, installed_bytes);
        fs::permissions(app_dir / kClient, fs::perms::owner_all);
        const fs::path mark = app_dir / "started";

        kelvra::ui::Application app(ui, kelvra::ui::ApplicationMessageBoxes());
        kelvra::updater::UpdaterSetup setup;
        setup.app = &app;
        setup.update_host = host;
        setup.client_path = client;
        setup.key = kelvra::update::ReleasePublicKey();
        setup.processes = &runner;
        const fs::path cwd = fs::current_path();

        const auto t0 = Clock::now();
        const auto result = kelvra::updater::RunUpdater(setup);
        bool started = false;
        if (result == kelvra::updater::UpdaterResult::HandedOff) {
            const auto deadline = t0 + std::chrono::minutes(5);
            while (!(started = fs::exists(mark)) && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto t1 = Clock::now();

        fs::current_path(cwd);
        app.DestroyForms();
        const std::string script = Text(work / "dialogs.txt");
        const auto boxes = fs::exists(script) ? kelvra::ui::ReadScriptRecords(ReadBytes(script))
                                              : std::vector<kelvra::ui::ScriptRecord>();
        if (!boxes.empty()) {
            std::fprintf(stderr, "the updater showed a box: %s\n",
                         boxes.back().fields.count("text") != 0
                             ? boxes.back().fields.at("text").c_str()
                             : "");
            return -1;
        }
        if (!started) {
            std::fprintf(stderr, "the update was not applied (updater result %d)\n",
                         static_cast<int>(result));
            return -1;
        }
        if (ReadBytes(client) != client_bytes) {
            std::fprintf(stderr, "the application folder does not hold the release's client\n");
            return -1;
        }
        fs::remove_all(app_dir);
        return std::chrono::duration<double, std::milli>(t1 - t0).count();
    }

    // Every served file fetched plainly; milliseconds, or negative when a fetch failed.
    double Fetch() {
        const std::string target = Text(work / "plain.bin");
        const auto t0 = Clock::now();
        for (const auto& [path, bytes] : files)
            if (!kelvra::bench::PlainFetch("http://" + host + path, target))
                return -1;
        return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: update_apply RELEASE_DIR PORT [PUBLISH_MS] [ROUNDS]\n");
        return 2;
    }
    const fs::path release = fs::u8path(argv[1]) / "kelvraeduclient";
    const int port = std::atoi(argv[2]);
    const double publish_ms = argc > 3 ? std::atof(argv[3]) : -1;
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

    kelvra::test::TempDir work;
    Bench bench;
    bench.work = fs::u8path(work.path());
    bench.host = "127.0.0.1:" + std::to_string(port);
    std::size_t total = 0;
    for (const auto& entry : fs::directory_iterator(release)) {
        const std::string name = Text(entry.path().filename());
        bench.files["/kelvraeduclient/" + name] = ReadBytes(Text(entry.path()));
        total += bench.files["/kelvraeduclient/" + name].size();
    }
    const auto client = bench.files.find(std::string("/kelvraeduclient/") + kClient);
    if (client == bench.files.end()) {
        std::fprintf(stderr, "%s holds no %s\n", Text(release).c_str(), kClient);
        return 1;
    }
    bench.client_bytes = client->second;
    bench.installed_bytes = ReadBytes(kelvra::platform::SystemFileSystem().ExecutablePath());

    // The update log goes to the documents folder, the boxes to the dialog script: both in
    // the work folder, away from the user's own.
    fs::create_directories(bench.work / "Documents");
    kelvra::test::ScopedEnv home("HOME", work.path());
    kelvra::test::ScopedEnv docs("XDG_DOCUMENTS_DIR", std::nullopt);
    kelvra::test::ScopedEnv registry("KELVRA_REGISTRY_DIR", Text(bench.work / "registry"));
    kelvra::test::ScopedEnv script("KELVRA_DIALOG_SCRIPT", Text(bench.work / "dialogs.txt"));

    kelvra::bench::BenchHttpServer server(bench.files, port);
    if (!server.ok()) {
        std::fprintf(stderr, "cannot serve on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::vector<double> apply_ms, plain_ms;
    for (int i = 0; i < rounds; ++i) {
        // Alternate the order so that neither side always runs second.
        double apply = -1, plain = -1;
        if (i % 2 == 0) {
            apply = bench.Apply(i);
            plain = bench.Fetch();
        } else {
            plain = bench.Fetch();
            apply = bench.Apply(i);
        }
        if (apply < 0 || plain < 0) {
            std::fprintf(stderr, plain < 0 ? "plain fetch failed\n" : "apply failed\n");
            return 1;
        }
        apply_ms.push_back(apply);
        plain_ms.push_back(plain);
    }
    const double apply = Median(apply_ms), plain = Median(plain_ms);
    std::printf(
        "update_apply %.1f MB release (%zu files, medians of %d): apply %.0f ms, "
        "plain %s fetch %.0f ms, ratio %.2fx (target 1.30x)\n",
        static_cast<double>(total) / 1e6, bench.files.size(), rounds, apply,
        kelvra::bench::PlainFetchName(), plain, apply / plain);
    if (publish_ms >= 0)
        std::printf("update_apply publishing with kelvra-publish %.0f ms, %.2fx the plain fetch\n",
                    publish_ms, publish_ms / plain);
    return 0;
}
