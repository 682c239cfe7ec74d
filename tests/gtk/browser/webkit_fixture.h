// A hosted browser on the WebKitGTK backend inside a GTK window of its own, a loopback page
// server, and polling helpers that turn the GTK main loop while they wait.
#pragma once

#include <gtk/gtk.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/gtk/webkit_backend.h"
#include "browser/hosted_browser.h"
#include "gtk/main_loop_wait.h"
#include "headless_ui.h"
#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser::gtk::test {

// Turns the main loop until condition holds or the deadline passes (15 s unless given).
inline bool PumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(15000)) {
    return kelvra::test::PumpUntil(condition, timeout);
}

// Serves fixed pages on 127.0.0.1 at a free port.
class PageServer {
  public:
    PageServer();
    ~PageServer();
    // path -> (content type, body); extra headers per path.
    void Page(const std::string& path, const std::string& body,
              const std::string& type = "text/html; charset=utf-8",
              std::multimap<std::string, std::string> headers = {});
    // Answers path with a redirect to target (302).
    void Redirect(const std::string& path, const std::string& target);
    // Holds the answer to path until Release (or ten seconds pass), then serves body.
    void Held(const std::string& path, const std::string& body);
    void Release();
    // Whether a request for a held path has arrived.
    bool HeldRequested() const { return held_requested_; }
    std::string Url(const std::string& path) const;

  private:
    httplib::Server server_;
    std::mutex mutex_;
    std::condition_variable released_cv_;
    bool released_ = false;
    std::atomic<bool> held_requested_ = false;
    int port_ = 0;
    std::thread thread_;
};

class BrowserForm final : public ui::Form {
  public:
    BrowserForm(ui::Application& app, BrowserBackend& backend, const std::string& class_name);
    THostedBrowser Browser1;

  private:
    static ui::FormDefinition Definition(const std::string& class_name);
};

// One backend, an application over the headless GUI backend, and browsers each shown in a
// GTK window of its own.
class WebKitFixture {
  public:
    explicit WebKitFixture(WebKitBackendOptions options = {});
    ~WebKitFixture();

    // A new browser on a form of that class, in a shown GTK window.
    THostedBrowser& AddBrowser(const std::string& form_class = "TFrmTest");
    GtkWidget* WindowOf(const THostedBrowser& browser) const;

    // Navigates and waits for the top document's load to finish.
    void Load(THostedBrowser& browser, const std::string& url);
    // Runs script in the page's world and returns its value as text ("<error: ...>" when
    // it throws).
    std::string Eval(THostedBrowser& browser, const std::string& script);

    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    std::unique_ptr<BrowserBackend> backend;
    ui::Application app{ui, boxes};

  private:
    std::vector<std::pair<THostedBrowser*, GtkWidget*>> windows_;
};

}  // namespace kelvra::browser::gtk::test
