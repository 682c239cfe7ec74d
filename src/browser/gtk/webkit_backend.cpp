#include "browser/gtk/webkit_backend.h"

#include "browser/doc_host.h"
#include "browser/gtk/external_channel.h"
#include "browser/gtk/webkit_browser.h"

namespace kelvra::browser::gtk {
namespace {

void OpenWithDesktop(const std::string& url) {
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
        g_warning("Could not open %s: %s", url.c_str(), error->message);
        g_error_free(error);
    }
}

std::optional<std::string> AskWithSaveDialog(GtkWidget* view, const std::string& suggested) {
    GtkWidget* top = gtk_widget_get_toplevel(view);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        "保存文件", GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr, GTK_FILE_CHOOSER_ACTION_SAVE,
        "取消", GTK_RESPONSE_CANCEL, "保存", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    if (const char* downloads = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD))
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), downloads);
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), suggested.c_str());
    std::optional<std::string> path;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        char* file = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        if (file)
            path = file;
        g_free(file);
    }
    gtk_widget_destroy(dialog);
    return path;
}

std::string DefaultExtensionsDir() {
    char* exe = g_file_read_link("/proc/self/exe", nullptr);
    if (!exe)
        return {};
    char* folder = g_path_get_dirname(exe);
    char* dir = g_build_filename(folder, "web-extensions", nullptr);
    std::string out = dir;
    g_free(dir);
    g_free(folder);
    g_free(exe);
    return out;
}

// Web processes load the extension and reach the client's channel at the address given to
// them at their start; both must be set before the first web process starts.
void PrepareWebProcesses(const std::string& extensions_dir) {
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    const std::string& address = StartExternalChannel(WebKitBrowser::AnswerExternal);
    WebKitWebContext* context = webkit_web_context_get_default();
    webkit_web_context_set_web_extensions_directory(
        context, extensions_dir.empty() ? DefaultExtensionsDir().c_str() : extensions_dir.c_str());
    webkit_web_context_set_web_extensions_initialization_user_data(
        context, g_variant_new_string(address.c_str()));
}

class WebKitBackend final : public BrowserBackend {
  public:
    explicit WebKitBackend(WebKitBackendOptions options) : options_(std::move(options)) {
        if (!options_.open_externally)
            options_.open_externally = OpenWithDesktop;
        if (!options_.choose_download_path)
            options_.choose_download_path = AskWithSaveDialog;
        download_handler_ = g_signal_connect(webkit_web_context_get_default(), "download-started",
                                             G_CALLBACK(OnDownloadStarted), nullptr);
    }
    ~WebKitBackend() override {
        g_signal_handler_disconnect(webkit_web_context_get_default(), download_handler_);
    }

    std::unique_ptr<BrowserControl> CreateControl(THostedBrowser& browser) override {
        // Only a client that shows pages listens for them: registration runs and second
        // copies end before any browser is made.
        PrepareWebProcesses(options_.web_extensions_dir);
        return std::make_unique<WebKitBrowser>(browser, options_);
    }

  private:
    static void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
        if (WebKitBrowser* browser =
                WebKitBrowser::FromView(webkit_download_get_web_view(download)))
            browser->DownloadStarted(download);
    }

    WebKitBackendOptions options_;
    gulong download_handler_ = 0;
};

}  // namespace

std::unique_ptr<BrowserBackend> MakeBrowserBackend(WebKitBackendOptions options) {
    return std::make_unique<WebKitBackend>(std::move(options));
}

GtkWidget* WidgetOf(const THostedBrowser& browser) {
    const auto* control = dynamic_cast<const WebKitBrowser*>(&browser.control());
    return control ? control->Widget() : nullptr;
}

// Where OnFileDownload is bound (the popup window) the window is offered the download
// first; unless it takes it over (S_OK), the download goes where the user chooses in the
// save dialog. The other windows go straight to the dialog.
void WebKitBrowser::DownloadStarted(WebKitDownload* download) {
    FileDownloadRequest request;
    // The address being downloaded.
    if (WebKitURIRequest* uri_request = webkit_download_get_request(download)) {
        if (const char* uri = webkit_uri_request_get_uri(uri_request))
            request.pszRedir = uri;
    }
    if (ProvidesService(owner_, kIidDownloadManager) &&
        AnswerDownload(owner_, request) != kENotImpl) {
        webkit_download_cancel(download);
        return;
    }
    struct Chooser {
        const WebKitBackendOptions* options;
        GtkWidget* view;
    };
    g_signal_connect_data(
        download, "decide-destination",
        G_CALLBACK(+[](WebKitDownload* d, gchar* suggested, gpointer p) -> gboolean {
            const auto* chooser = static_cast<Chooser*>(p);
            const auto path =
                chooser->options->choose_download_path(chooser->view, suggested ? suggested : "");
            if (!path) {
                webkit_download_cancel(d);
                return TRUE;
            }
            webkit_download_set_allow_overwrite(d, TRUE);
            webkit_download_set_destination(d, path->c_str());
            return TRUE;
        }),
        new Chooser{&options_, Widget()},
        [](gpointer p, GClosure*) { delete static_cast<Chooser*>(p); },
        static_cast<GConnectFlags>(0));
}

}  // namespace kelvra::browser::gtk
