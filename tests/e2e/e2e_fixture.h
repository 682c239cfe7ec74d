// What the end-to-end tests drive: a private X server, the demo platform server, the real
// client with its own settings, registry and runtime folders, and the X tools that look at
// and click its windows as a user would.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace kelvra::e2e {

using namespace std::chrono_literals;

// Runs a shell command with DISPLAY set; its standard output, or nullopt on failure.
std::optional<std::string> Run(const std::string& display, const std::string& command);
std::string Quote(const std::string& text);

// An Xvfb of its own, so that no other test's window covers ours; no window manager, unless
// KELVRA_E2E_WINDOW_MANAGER names one to run on it (e.g. openbox).
class Desktop {
  public:
    Desktop();
    ~Desktop();
    const std::string& display() const { return display_; }
    std::optional<std::string> X(const std::string& command) const {
        return Run(display_, command);
    }
    void Screenshot(const std::string& path) const;

  private:
    void StartWindowManager(const std::string& program);

    int pid_ = -1;
    int manager_pid_ = -1;
    std::string display_;
};

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool viewable = false;
};

// One of the client's top-level windows, as the X server sees it.
class XWindow {
  public:
    XWindow(const Desktop& desktop, std::string id) : desktop_(&desktop), id_(std::move(id)) {}
    const std::string& id() const { return id_; }
    std::optional<Geometry> Get() const;  // nullopt once the window is gone
    std::string Name() const;
    // A click at a point of the window's client area (below the 40-pixel header bar) or
    // of its header bar.
    void ClickClient(int x, int y) const;
    void ClickHeader(int x, int y) const;
    void Key(const std::string& keys) const;
    // Whether the window shows a demo page (its blue page header is on screen).
    bool ShowsDemoPage() const;
    void Type(const std::string& text) const;

  private:
    const Desktop* desktop_;
    std::string id_;
};

// Visible top-level windows whose name matches the regular expression.
std::vector<XWindow> VisibleWindows(const Desktop& desktop, const std::string& name_regex);

class DemoSite {
  public:
    explicit DemoSite(const std::string& folder);
    const std::string& webroot() const { return webroot_; }
    std::string Log() const;
    // Whether the request log has a line starting with prefix (e.g. "GET /site/login 200").
    bool Saw(const std::string& prefix) const;
    int Count(const std::string& prefix) const;
    void OfferUpdate(bool newer) const;

  private:
    std::string folder_;
    std::string webroot_;
    std::unique_ptr<test::ChildProcess> server_;
};

// The folders one client run keeps its state in, and the client process.
class ClientHome {
  public:
    ClientHome(const Desktop& desktop, const std::string& webroot);
    const std::string& root() const { return dir_.path(); }
    std::string DialogScript() const { return root() + "/dialogs.txt"; }
    std::string SettingsFile() const { return root() + "/config/kelvraeduConfig/sysparams.ini"; }
    std::string WhiteboardRecord() const { return root() + "/whiteboard.log"; }
    void AnswerDialogs(const std::vector<std::string>& answers) const;
    // Registers the demo whiteboard as the installed whiteboard program.
    void RegisterWhiteboard() const;
    void SetUpdateHost(const std::string& host) { update_host_ = host; }
    // The session bus the client and its tools use; none (the default) keeps the client off
    // any bus of the machine.
    void SetBusAddress(const std::string& address) { bus_address_ = address; }
    std::unique_ptr<test::ChildProcess> Start() const;
    // The client with arguments, extra_env entries replacing those of the same name.
    std::unique_ptr<test::ChildProcess> StartWith(const std::vector<std::string>& args,
                                                  const std::vector<std::string>& extra_env) const;
    std::vector<std::string> Environment() const;
    std::unique_ptr<test::ChildProcess> StartWhiteboard(
        const std::vector<std::string>& extra_env = {}) const;

  private:
    const Desktop& desktop_;
    test::TempDir dir_;
    std::string update_host_;
    std::string bus_address_;
};

// The WebKit web processes below the process pid, oldest first; each window's view has
// its own, so the newest is that of the window whose page loaded last in a new view.
std::vector<long> WebProcessesOf(long pid);

std::string BinDir();
// Screenshots go to the build tree: <bin>/../e2e-shots/<name>.png.
std::string ShotPath(const std::string& name);

}  // namespace kelvra::e2e
