#include "e2e_fixture.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace kelvra::e2e {

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

std::optional<std::string> Run(const std::string& display, const std::string& command) {
    const std::string full =
        (display.empty() ? "" : "DISPLAY=" + display + " ") + command + " 2>/dev/null";
    FILE* pipe = ::popen(full.c_str(), "r");
    if (pipe == nullptr)
        return std::nullopt;
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), pipe))
        out.append(buf.data(), n);
    const int status = ::pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

std::string BinDir() {
    return test::TestBinDir();
}

std::string ShotPath(const std::string& name) {
    const std::string dir = BinDir() + "/../e2e-shots";
    ::mkdir(dir.c_str(), 0755);
    return dir + "/" + name + ".png";
}

Desktop::Desktop() {
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                 "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string number;
    char c = 0;
    while (::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (number.empty())
        throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number;
    if (const char* manager = std::getenv("KELVRA_E2E_WINDOW_MANAGER"); manager && *manager)
        StartWindowManager(manager);
}

// A real window manager on the display: it reparents every client window into its frame.
void Desktop::StartWindowManager(const std::string& program) {
    manager_pid_ = ::fork();
    if (manager_pid_ == 0) {
        ::setenv("DISPLAY", display_.c_str(), 1);
        ::execlp(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Running once it announces itself on the root (EWMH).
    if (!test::WaitUntil(
            [&] { return X("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window").has_value(); },
            std::chrono::seconds(20)))
        throw std::runtime_error("the window manager " + program + " did not start");
}

Desktop::~Desktop() {
    if (manager_pid_ > 0) {
        ::kill(manager_pid_, SIGTERM);
        ::waitpid(manager_pid_, nullptr, 0);
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

void Desktop::Screenshot(const std::string& path) const {
    X("import -window root " + Quote(path));
}

std::optional<Geometry> XWindow::Get() const {
    const auto out = desktop_->X("xwininfo -id " + id_);
    if (!out)
        return std::nullopt;
    Geometry g;
    std::istringstream lines(*out);
    std::string line;
    auto value = [&](const char* key, int& target) {
        const auto at = line.find(key);
        if (at != std::string::npos)
            target = std::stoi(line.substr(at + std::string(key).size()));
    };
    while (std::getline(lines, line)) {
        value("Absolute upper-left X:", g.x);
        value("Absolute upper-left Y:", g.y);
        value("Width:", g.width);
        value("Height:", g.height);
        if (line.find("Map State: IsViewable") != std::string::npos)
            g.viewable = true;
    }
    return g;
}

std::string XWindow::Name() const {
    auto out = desktop_->X("xdotool getwindowname " + id_).value_or("");
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

bool XWindow::ShowsDemoPage() const {
    const auto g = Get();
    if (!g || !g->viewable)
        return false;
    // A strip across the top of the page, where the demo pages draw their header.
    const std::string crop = "200x24+" + std::to_string(g->x + 4) + "+" + std::to_string(g->y + 48);
    const auto out = desktop_->X("import -window root -crop " + crop +
                                 " png:- | convert png:- -fill black +opaque '#1F5FA8' "
                                 "-format '%[fx:mean>0]' info:");
    return out && out->rfind("1", 0) == 0;
}

void XWindow::ClickHeader(int x, int y) const {
    desktop_->X("xdotool mousemove --sync --window " + id_ + " " + std::to_string(x) + " " +
                std::to_string(y) + " click 1");
}

void XWindow::ClickClient(int x, int y) const {
    ClickHeader(x, y + 40);
}

void XWindow::Key(const std::string& keys) const {
    desktop_->X("xdotool windowfocus --sync " + id_ + " key " + keys);
}

void XWindow::Type(const std::string& text) const {
    desktop_->X("xdotool windowfocus --sync " + id_ + " type --delay 15 " + Quote(text));
}

std::vector<long> WebProcessesOf(long root) {
    struct Entry {
        long parent = 0;
        unsigned long long start = 0;
        bool web = false;
    };
    std::map<long, Entry> all;
    DIR* proc = ::opendir("/proc");
    while (dirent* e = proc ? ::readdir(proc) : nullptr) {
        const long pid = std::atol(e->d_name);
        if (pid <= 0)
            continue;
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        std::string stat((std::istreambuf_iterator<char>(in)), {});
        const auto name_end = stat.rfind(')');
        if (name_end == std::string::npos)
            continue;
        Entry entry;
        entry.web = stat.find("(WebKitWebProces") != std::string::npos;
        // After the name: state, ppid, then 17 more fields up to the start time.
        std::istringstream rest(stat.substr(name_end + 2));
        std::string field;
        rest >> field >> entry.parent;
        for (int i = 0; i < 17; ++i)
            rest >> field;
        rest >> entry.start;
        all[pid] = entry;
    }
    if (proc)
        ::closedir(proc);
    std::vector<std::pair<unsigned long long, long>> web;
    for (const auto& [pid, entry] : all) {
        if (!entry.web)
            continue;
        for (long p = entry.parent; p > 1; p = all.count(p) ? all[p].parent : 0) {
            if (p == root) {
                web.emplace_back(entry.start, pid);
                break;
            }
        }
    }
    std::sort(web.begin(), web.end());
    std::vector<long> out;
    for (const auto& [start, pid] : web)
        out.push_back(pid);
    return out;
}

std::vector<XWindow> VisibleWindows(const Desktop& desktop, const std::string& name_regex) {
    std::vector<XWindow> out;
    const auto ids = desktop.X("xdotool search --onlyvisible --name " + Quote(name_regex));
    if (!ids)
        return out;
    std::istringstream lines(*ids);
    std::string id;
    while (lines >> id)
        out.emplace_back(desktop, id);
    return out;
}

DemoSite::DemoSite(const std::string& folder) : folder_(folder) {
    const std::string port_file = folder + "/port";
    server_ = std::make_unique<test::ChildProcess>(
        BinDir() + "/kelvra-demo-site",
        std::vector<std::string>{"--port-file", port_file, "--log", folder + "/requests.log"});
    if (!test::WaitUntil([&] { return test::PathExists(port_file); }, 10s))
        throw std::runtime_error("the demo server did not start");
    std::string port = test::ReadBytes(port_file);
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r'))
        port.pop_back();
    webroot_ = "127.0.0.1:" + port;
}

std::string DemoSite::Log() const {
    const std::string path = folder_ + "/requests.log";
    return test::PathExists(path) ? test::ReadBytes(path) : "";
}

int DemoSite::Count(const std::string& prefix) const {
    std::istringstream lines(Log());
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
}

bool DemoSite::Saw(const std::string& prefix) const {
    return Count(prefix) > 0;
}

void DemoSite::OfferUpdate(bool newer) const {
    Run("", "curl -sf " + Quote("http://" + webroot_ +
                                "/demo/update?offer=" + (newer ? "newer" : "current")));
}

ClientHome::ClientHome(const Desktop& desktop, const std::string& webroot)
    : desktop_(desktop), update_host_(webroot) {
    // A desktop user's home has its Documents folder (the update log goes there).
    for (const char* sub : {"/home", "/home/Documents", "/config", "/config/kelvraeduConfig",
                            "/cache", "/data", "/registry", "/runtime", "/whiteboard"})
        ::mkdir((root() + sub).c_str(), 0700);
    test::WriteBytes(SettingsFile(), "[SYSTEM]\r\nwebroot=" + webroot + "\r\n");
    test::WriteBytes(DialogScript(), "");
}

void ClientHome::AnswerDialogs(const std::vector<std::string>& answers) const {
    std::string text;
    for (const std::string& a : answers)
        text += "answer: " + a + "\n";
    test::WriteBytes(DialogScript(), text);
}

void ClientHome::RegisterWhiteboard() const {
    const std::string link = root() + "/whiteboard/Ondrix.exe";
    ::symlink((BinDir() + "/kelvra-whiteboard").c_str(), link.c_str());
    test::WriteBytes(root() + "/registry/HKEY_LOCAL_MACHINE.reg",
                     "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norrix\\Ondrix]\r\n"
                     "\"InstallPath\"=\"" +
                         root() + "/whiteboard\"\r\n");
}

std::vector<std::string> ClientHome::Environment() const {
    std::vector<std::string> env{
        "DISPLAY=" + desktop_.display(),
        "HOME=" + root() + "/home",
        "XDG_CONFIG_HOME=" + root() + "/config",
        "XDG_CACHE_HOME=" + root() + "/cache",
        "XDG_DATA_HOME=" + root() + "/data",
        "XDG_RUNTIME_DIR=" + root() + "/runtime",
        "KELVRA_REGISTRY_DIR=" + root() + "/registry",
        "KELVRA_DIALOG_SCRIPT=" + DialogScript(),
        "KELVRA_WHITEBOARD_RECORD=" + WhiteboardRecord(),
        "NO_AT_BRIDGE=1",
        "GDK_BACKEND=x11",
        "DBUS_SESSION_BUS_ADDRESS=" + bus_address_,
    };
    if (!update_host_.empty())
        env.push_back("KELVRA_DEMO_UPDATE_HOST=" + update_host_);
    return env;
}

std::unique_ptr<test::ChildProcess> ClientHome::Start() const {
    return std::make_unique<test::ChildProcess>(BinDir() + "/kelvraedu", std::vector<std::string>{},
                                                Environment());
}

std::unique_ptr<test::ChildProcess> ClientHome::StartWith(
    const std::vector<std::string>& args, const std::vector<std::string>& extra_env) const {
    std::vector<std::string> env;
    for (const std::string& entry : Environment()) {
        bool replaced = false;
        for (const std::string& x : extra_env)
            replaced |= x.substr(0, x.find('=')) == entry.substr(0, entry.find('='));
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), extra_env.begin(), extra_env.end());
    return std::make_unique<test::ChildProcess>(BinDir() + "/kelvraedu", args, env);
}

std::unique_ptr<test::ChildProcess> ClientHome::StartWhiteboard(
    const std::vector<std::string>& extra_env) const {
    std::vector<std::string> env = Environment();
    env.insert(env.end(), extra_env.begin(), extra_env.end());
    return std::make_unique<test::ChildProcess>(BinDir() + "/kelvra-whiteboard",
                                                std::vector<std::string>{}, env);
}

}  // namespace kelvra::e2e
