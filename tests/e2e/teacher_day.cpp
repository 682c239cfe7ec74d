#include "teacher_day.h"

#include <dirent.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "e2e_fixture.h"

namespace kelvra::e2e {
namespace {

constexpr const char* kLoginTitle = "^Kelvra教学云平台$";
constexpr const char* kPopupTitle = "^FrmBrowser$";
constexpr const char* kSettingsTitle = "^系统设置$";
constexpr const char* kHomeTitle = "^教师首页$";
// Tiles of the home page's left column, which a popup centred on the main window leaves
// uncovered (centre points in page coordinates).
constexpr int kTileX = 130;
constexpr int kLessonTileY = 82;  // opens a lesson in a popup
constexpr int kVantleTileY = 152;
constexpr int kLogoutTileY = 222;
constexpr int kExpireTileY = 292;
constexpr int kScreenWidth = 1280;
constexpr int kPopupWidth = 800;
constexpr int kLoginWidth = 800;
// A step that shows no effect within this time is tried again (a click can land before the
// page under it is ready).
constexpr auto kPatience = 1500ms;
constexpr auto kStepDeadline = 30s;

const char* kUpdateCheck = "GET /kelvraeduclient/update.inf 200";
const char* kLessonPage = "GET /lesson/1 200";
const char* kLoginPage = "GET /site/login";
const char* kLessonDone = "GET /demo/result?text=ok";

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int CountLines(const std::string& text, const std::string& prefix) {
    std::istringstream lines(text);
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

class Day {
  public:
    Day() : site_(site_dir_.path()), home_(desktop_, site_.webroot()) {
        home_.RegisterWhiteboard();
        whiteboard_ = home_.StartWhiteboard();
        Need(test::WaitUntil(
                 [&] { return desktop_.X("xdotool search --class VantleMainFrame").has_value(); },
                 10s),
             "the demo whiteboard did not open its window");
        client_ = std::make_unique<test::ChildProcess>(
            "/bin/sh",
            std::vector<std::string>{
                "-c", "exec " + Quote(BinDir() + "/kelvraedu") + " 2>" + Quote(LogPath())},
            home_.Environment());
    }

    std::string LogPath() const { return home_.root() + "/client-stderr.log"; }
    long ClientId() const { return client_->Id(); }
    bool ClientAlive() { return !client_->Wait(0ms).has_value(); }
    int Count(const char* prefix) const { return site_.Count(prefix); }

    void Need(bool ok, const std::string& what) const {
        if (ok)
            return;
        std::string log = site_.Log();
        if (log.size() > 2000)
            log = log.substr(log.size() - 2000);
        throw std::runtime_error(what + "\n--- last requests ---\n" + log);
    }

    // Runs action until effect holds, giving each try kPatience.
    void Step(const std::string& what, const std::function<void()>& action,
              const std::function<bool()>& effect) {
        const bool done = test::WaitUntil(
            [&] {
                action();
                return test::WaitUntil(effect, kPatience);
            },
            kStepDeadline);
        Need(done, what);
    }

    // The first sign-in: the main window exists from then on.
    void FirstSignIn(int settings_trips) { main_id_ = SignIn(0, 0, settings_trips); }

    // Waits for the login window (brought up after login_pages_before login-page loads and
    // checks_before update checks), makes the settings trips, waits for this window's update
    // check and signs in. Returns the main window's id.
    std::string SignIn(int login_pages_before, int checks_before, int settings_trips) {
        Need(test::WaitUntil([&] { return Count(kLoginPage) > login_pages_before; }, kStepDeadline),
             "the login page was not asked for");
        const XWindow login = WaitVisible(kLoginTitle, "no login window");
        for (int i = 0; i < settings_trips; ++i)
            SettingsTrip(login);
        Need(test::WaitUntil([&] { return Count(kUpdateCheck) > checks_before; }, kStepDeadline),
             "the login window made no update check");
        const int posts = Count("POST /site/login");
        Step(
            "the sign-in was not posted", [&] { login.Key("Return"); },
            [&] { return Count("POST /site/login") > posts; });
        const XWindow main =
            WaitVisible(kHomeTitle, "the home page did not come back after sign-in");
        Need(test::WaitUntil([&] { return OffScreen(login); }, kStepDeadline),
             "the login window stayed on screen");
        return main.id();
    }

    // The newest visible window whose name matches regex.
    std::optional<XWindow> Newest(const char* regex) const {
        auto all = VisibleWindows(desktop_, regex);
        if (all.empty())
            return std::nullopt;
        return all.back();
    }
    XWindow WaitVisible(const char* regex, const std::string& what) const {
        std::optional<XWindow> found;
        Need(test::WaitUntil([&] { return (found = Newest(regex)).has_value(); }, kStepDeadline),
             what);
        return *found;
    }
    static bool OffScreen(const XWindow& window) {
        const auto g = window.Get();
        return !g || !g->viewable;
    }

    void SettingsTrip(const XWindow& login) {
        const int saves = settings_saved_;
        const int pages = Count(kLoginPage);
        std::optional<XWindow> dialog;
        Step(
            "the settings dialog did not open", [&] { Click(login, kLoginWidth - 74, 20); },
            [&] { return (dialog = Newest(kSettingsTitle)).has_value(); });
        // Enter presses the default button: the web root is saved as it stands.
        Step(
            "the settings dialog did not save", [&] { dialog->Key("Return"); },
            [&] { return OffScreen(*dialog); });
        Need(test::WaitUntil([&] { return Count(kLoginPage) > pages; }, kStepDeadline),
             "the login page did not reload after the settings dialog");
        settings_saved_ = saves + 1;
    }

    XWindow Main() const { return XWindow(desktop_, main_id_); }

    // A click at a point of a window's header bar. Unlike the fixture's clicks it does not
    // wait for the pointer to move, which never happens when it already is there (the same
    // tile clicked twice).
    void Click(const XWindow& window, int x, int y) const {
        desktop_.X("xdotool mousemove --window " + window.id() + " " + std::to_string(x) + " " +
                   std::to_string(y) + " click 1");
    }
    void ClickPage(const XWindow& window, int x, int y) const { Click(window, x, y + 40); }

    std::vector<XWindow> Popups() const { return VisibleWindows(desktop_, kPopupTitle); }

    void OpenPopup() {
        const std::size_t open = Popups().size();
        const int pages = Count(kLessonPage);
        Step(
            "no popup opened", [&] { ClickPage(Main(), kTileX, kLessonTileY); },
            [&] { return Count(kLessonPage) > pages && Popups().size() > open; });
    }

    void ClosePopups() {
        for (const XWindow& popup : Popups()) {
            Step(
                "a popup did not close", [&] { Click(popup, kPopupWidth - 27, 20); },
                [&] { return !popup.Get().has_value(); });
        }
    }

    void SendLesson() {
        const int done = Count(kLessonDone);
        Step(
            "the lesson was not handed over", [&] { ClickPage(Main(), kTileX, kVantleTileY); },
            [&] { return Count(kLessonDone) > done; });
    }

    // Signs out (or has the session expire) with popups open, then signs in again.
    void Relogin(bool expire, int popups, int settings_trips) {
        for (int i = 0; i < popups; ++i)
            OpenPopup();
        const std::vector<XWindow> open = Popups();
        const int pages = Count(kLoginPage);
        const int checks = Count(kUpdateCheck);
        Step(
            expire ? "the expired session did not end in the login window"
                   : "signing out did not end in the login window",
            [&] { ClickPage(Main(), kTileX, expire ? kExpireTileY : kLogoutTileY); },
            [&] { return Count(kLoginPage) > pages; });
        Need(test::WaitUntil([&] { return OffScreen(Main()); }, kStepDeadline),
             "the main window stayed on screen");
        for (const XWindow& popup : open)
            Need(test::WaitUntil([&] { return OffScreen(popup); }, kStepDeadline),
                 "a popup stayed on screen through the re-login");
        const std::string main = SignIn(pages, checks, settings_trips);
        Need(main == main_id_, "a different main window came back");
        popups_released_ += static_cast<int>(open.size());
    }

    // Closes the main window: the client ends.
    int CloseClient() {
        Click(Main(), kScreenWidth - 27, 20);
        return client_->Wait(30s).value_or(-1);
    }

    // Waits (bounded) until the client has the expected number of web processes, then
    // samples: a released page's process ends a moment later, much later on a busy machine.
    PhaseSample Sample(const std::string& name, int web_views) {
        const double seconds = std::chrono::duration<double>(Clock::now() - phase_start_).count();
        test::WaitUntil([&] { return MeasureTree(ClientId()).web_processes == web_views; }, 60s);
        PhaseSample sample{name, seconds, MeasureTree(ClientId()), web_views};
        phase_start_ = Clock::now();
        return sample;
    }

    std::string Dialogs() const { return Slurp(home_.DialogScript()); }
    int LessonsDelivered() const { return CountLines(Slurp(home_.WhiteboardRecord()), "3027 "); }
    int settings_saved() const { return settings_saved_; }
    int popups_released() const { return popups_released_; }

  private:
    Desktop desktop_;
    test::TempDir site_dir_;
    DemoSite site_;
    ClientHome home_;
    std::unique_ptr<test::ChildProcess> whiteboard_;
    std::unique_ptr<test::ChildProcess> client_;
    using Clock = std::chrono::steady_clock;
    Clock::time_point phase_start_ = Clock::now();
    std::string main_id_;
    int settings_saved_ = 0;
    int popups_released_ = 0;
};

// Settings trips for the re-login at index i of n, spreading total evenly.
int TripsAt(int i, int n, int total) {
    return (i + 1) * total / n - i * total / n;
}

}  // namespace

DayPlan DayPlan::Divided(int divisor) const {
    auto part = [divisor](int n) { return std::max(1, n / divisor); };
    DayPlan p = *this;
    p.popups = part(popups);
    p.sign_outs = part(sign_outs);
    p.expiries = part(expiries);
    p.lessons = part(lessons);
    p.settings_trips = part(settings_trips);
    return p;
}

Footprint MeasureTree(long root) {
    std::map<long, long> parent;
    std::map<long, long> rss;
    std::map<long, bool> web;
    std::map<long, bool> ended;  // exited or exiting: no longer holds a page or memory
    DIR* proc = ::opendir("/proc");
    while (dirent* e = proc ? ::readdir(proc) : nullptr) {
        const long pid = std::atol(e->d_name);
        if (pid <= 0)
            continue;
        std::istringstream status(Slurp("/proc/" + std::to_string(pid) + "/status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Name:", 0) == 0)
                web[pid] = line.find("WebKitWebProces") != std::string::npos;
            else if (line.rfind("State:", 0) == 0)
                ended[pid] = line.find_first_of("ZX", 6) != std::string::npos;
            else if (line.rfind("PPid:", 0) == 0)
                parent[pid] = std::atol(line.c_str() + 5);
            else if (line.rfind("VmRSS:", 0) == 0)
                rss[pid] = std::atol(line.c_str() + 6);
        }
    }
    if (proc)
        ::closedir(proc);
    Footprint out;
    for (const auto& [pid, ppid] : parent) {
        for (long p = pid; p > 1; p = parent.count(p) ? parent[p] : 0) {
            if (p == root) {
                out.rss_kb += rss.count(pid) ? rss[pid] : 0;
                out.web_processes += web[pid] && !ended[pid] ? 1 : 0;
                break;
            }
        }
    }
    return out;
}

const PhaseSample& DayReport::Sample(const std::string& name) const {
    for (const PhaseSample& s : samples)
        if (s.name == name)
            return s;
    throw std::out_of_range("no sample " + name);
}

double DayReport::GrowthPerStepKb(const std::string& phase, int steps) const {
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].name == phase)
            return static_cast<double>(samples[i].footprint.rss_kb -
                                       samples[i - 1].footprint.rss_kb) /
                   std::max(1, steps);
    }
    throw std::out_of_range("no phase " + phase);
}

std::string DayReport::Table(const DayPlan& plan) const {
    std::string out;
    char line[256];
    const double warm = samples.front().footprint.rss_kb / 1024.0;
    std::snprintf(line, sizeof line, "%-12s %8s %10s %10s %8s %16s\n", "after", "seconds", "RSS MB",
                  "delta MB", "ratio", "web processes");
    out += line;
    for (const PhaseSample& s : samples) {
        const double mb = s.footprint.rss_kb / 1024.0;
        std::snprintf(line, sizeof line, "%-12s %8.1f %10.1f %+10.1f %8.3f %7d (want %d)\n",
                      s.name.c_str(), s.seconds, mb, mb - warm, mb / warm,
                      s.footprint.web_processes, s.web_views);
        out += line;
    }
    const double per_popup = GrowthPerStepKb("popups", plan.popups) / 1024.0;
    const double per_relogin =
        GrowthPerStepKb("re-logins", plan.sign_outs + plan.expiries) / 1024.0;
    const double per_lesson = GrowthPerStepKb("lessons", plan.lessons) / 1024.0;
    std::snprintf(line, sizeof line,
                  "growth per popup     %+8.3f MB (target < 0.5 MB: %s)\n"
                  "growth per re-login  %+8.3f MB (target < 2 MB: %s)\n"
                  "growth per lesson    %+8.3f MB\n",
                  per_popup, per_popup < 0.5 ? "met" : "MISSED", per_relogin,
                  per_relogin < 2.0 ? "met" : "MISSED", per_lesson);
    out += line;
    std::snprintf(line, sizeof line,
                  "popups opened %d, released by a re-login %d, re-logins %d, update checks %d, "
                  "lessons delivered %d, settings saved %d\n",
                  popups_opened, popups_released, relogins, update_checks, lessons_delivered,
                  settings_saved);
    out += line;
    return out;
}

DayReport RunTeacherDay(const DayPlan& plan) {
    Day day;
    DayReport report;
    // Warm-up: one of everything, so that caches, pools and the first web processes exist.
    day.FirstSignIn(1);
    day.OpenPopup();
    day.ClosePopups();
    day.SendLesson();
    day.Relogin(false, 1, 1);
    day.OpenPopup();
    day.ClosePopups();
    // The web processes that stay: the main window's and the current login window's.
    const int views = 2;
    report.samples.push_back(day.Sample("warm-up", views));
    const int popups_before = day.Count(kLessonPage);
    const int checks_before = day.Count(kUpdateCheck);
    const int lessons_before = day.LessonsDelivered();
    const int saves_before = day.settings_saved();
    const int released_before = day.popups_released();

    for (int i = 0; i < plan.popups; ++i) {
        day.OpenPopup();
        day.ClosePopups();
    }
    report.samples.push_back(day.Sample("popups", views));

    const int relogins = plan.sign_outs + plan.expiries;
    for (int i = 0; i < relogins; ++i) {
        // Sign-outs and expiries take turns until one kind runs out.
        const bool expire = i % 2 == 1 ? i / 2 < plan.expiries : i / 2 >= plan.sign_outs;
        day.Relogin(expire, plan.popups_per_relogin, TripsAt(i, relogins, plan.settings_trips));
    }
    report.samples.push_back(day.Sample("re-logins", views));

    for (int i = 0; i < plan.lessons; ++i)
        day.SendLesson();
    report.samples.push_back(day.Sample("lessons", views));

    report.popups_opened = day.Count(kLessonPage) - popups_before;
    report.popups_released = day.popups_released() - released_before;
    report.relogins = relogins;
    report.update_checks = day.Count(kUpdateCheck) - checks_before;
    report.lessons_delivered = day.LessonsDelivered() - lessons_before;
    report.settings_saved = day.settings_saved() - saves_before;
    report.client_alive = day.ClientAlive();
    report.dialogs = day.Dialogs();
    report.exit_code = day.CloseClient();
    report.client_log = Slurp(day.LogPath());
    return report;
}

}  // namespace kelvra::e2e
