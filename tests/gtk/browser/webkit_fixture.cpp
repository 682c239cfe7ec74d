#include "webkit_fixture.h"

#include <webkit2/webkit2.h>

#include <stdexcept>

namespace kelvra::browser::gtk::test {

PageServer::PageServer() {
    // One request per connection, so that stopping never waits for an idle keep-alive.
    server_.set_keep_alive_max_count(1);
    server_.set_keep_alive_timeout(1);  // a connection opened ahead and never used
    server_.set_read_timeout(1, 0);
    server_.set_write_timeout(1, 0);
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0)
        throw std::runtime_error("no loopback port");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
        std::this_thread::yield();
}

PageServer::~PageServer() {
    Release();
    server_.stop();
    thread_.join();
}

void PageServer::Page(const std::string& path, const std::string& body, const std::string& type,
                      std::multimap<std::string, std::string> headers) {
    server_.Get(path, [body, type, headers](const httplib::Request&, httplib::Response& res) {
        for (const auto& [name, value] : headers)
            res.set_header(name, value);
        res.set_content(body, type);
    });
}

void PageServer::Redirect(const std::string& path, const std::string& target) {
    server_.Get(path, [target](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(target);
    });
}

void PageServer::Held(const std::string& path, const std::string& body) {
    server_.Get(path, [this, body](const httplib::Request&, httplib::Response& res) {
        held_requested_ = true;
        std::unique_lock<std::mutex> lock(mutex_);
        released_cv_.wait_for(lock, std::chrono::seconds(10), [this] { return released_; });
        res.set_content(body, "text/html; charset=utf-8");
    });
}

void PageServer::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
    }
    released_cv_.notify_all();
}

std::string PageServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

BrowserForm::BrowserForm(ui::Application& app, BrowserBackend& backend,
                         const std::string& class_name)
    : ui::Form(app, Definition(class_name)), Browser1(*this, "Browser1", backend) {}

ui::FormDefinition BrowserForm::Definition(const std::string& class_name) {
    ui::FormDefinition d;
    d.class_name = class_name;
    return d;
}

WebKitFixture::WebKitFixture(WebKitBackendOptions options) {
    gtk_init(nullptr, nullptr);
    if (options.web_extensions_dir.empty())
        options.web_extensions_dir = KELVRA_WEB_EXTENSIONS_DIR;
    backend = MakeBrowserBackend(std::move(options));
}

WebKitFixture::~WebKitFixture() {
    app.DestroyForms();
    for (auto& [browser, window] : windows_)
        gtk_widget_destroy(window);
    PumpUntil([] { return false; }, std::chrono::milliseconds(50));  // let WebKit settle
}

THostedBrowser& WebKitFixture::AddBrowser(const std::string& form_class) {
    auto& form = app.CreateForm<BrowserForm>(*backend, form_class);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 480);
    gtk_container_add(GTK_CONTAINER(window), WidgetOf(form.Browser1));
    gtk_widget_show_all(window);
    windows_.emplace_back(&form.Browser1, window);
    return form.Browser1;
}

GtkWidget* WebKitFixture::WindowOf(const THostedBrowser& browser) const {
    for (const auto& [b, window] : windows_)
        if (b == &browser)
            return window;
    return nullptr;
}

void WebKitFixture::Load(THostedBrowser& browser, const std::string& url) {
    auto* view = WEBKIT_WEB_VIEW(WidgetOf(browser));
    bool finished = false;
    const gulong id = g_signal_connect(
        view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer flag) {
            if (event == WEBKIT_LOAD_FINISHED)
                *static_cast<bool*>(flag) = true;
        }),
        &finished);
    browser.Navigate(url);
    const bool ok = PumpUntil([&] { return finished; });
    g_signal_handler_disconnect(view, id);
    if (!ok)
        throw std::runtime_error("page did not load: " + url);
}

std::string WebKitFixture::Eval(THostedBrowser& browser, const std::string& script) {
    struct Result {
        bool done = false;
        std::string text;
    };
    auto result = std::make_shared<Result>();
    webkit_web_view_evaluate_javascript(
        WEBKIT_WEB_VIEW(WidgetOf(browser)), script.c_str(), -1, nullptr, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* res, gpointer data) {
            auto* r = static_cast<std::shared_ptr<Result>*>(data);
            GError* error = nullptr;
            JSCValue* value =
                webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, &error);
            if (error) {
                (*r)->text = std::string("<error: ") + error->message + ">";
                g_error_free(error);
            } else {
                char* text = jsc_value_to_string(value);
                (*r)->text = text ? text : "";
                g_free(text);
                g_object_unref(value);
            }
            (*r)->done = true;
            delete r;
        },
        new std::shared_ptr<Result>(result));
    if (!PumpUntil([&] { return result->done; }))
        return "<error: no answer>";
    return result->text;
}

}  // namespace kelvra::browser::gtk::test
