#include "browser/gtk/webkit_browser.h"

#include <algorithm>
#include <chrono>
#include <string_view>
#include <vector>

#include "browser/doc_host.h"
#include "browser/gtk/external_channel.h"
#include "browser/gtk/page_scripts.h"
#include "browser/gtk/webkit_document.h"
#include "browser/gtk/wheel_rule.h"
#include "ui/application.h"
#include "ui/form.h"

namespace kelvra::browser::gtk {
namespace {

constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
// The platform's new-window flag for a request the user started.
constexpr std::uint32_t kNwmfUserInitiated = 0x2;
// The platform's context-menu kinds.
constexpr std::uint32_t kMenuDefault = 0, kMenuImage = 1, kMenuControl = 2, kMenuTextSelect = 4,
                        kMenuAnchor = 5;

std::vector<WebKitBrowser*>& Live() {
    static std::vector<WebKitBrowser*> live;
    return live;
}

std::string ExternalScriptSource() {
    std::string source = ExternalObjectScript();
    const std::string_view placeholder = "KELVRA_INVOKE";
    for (auto at = source.find(placeholder); at != std::string::npos; at = source.find(placeholder))
        source.replace(at, placeholder.size(), kExternalInvokeGlobal);
    return source;
}

// The key code the platform gives a key message: capital letters, digits, and the common
// named keys. Uses the unshifted key so that Shift does not change the code.
std::uintptr_t VirtualKeyOf(const GdkEventKey* event) {
    guint keyval = event->keyval;
    GdkKeymap* keymap = gdk_keymap_get_for_display(gdk_display_get_default());
    guint base = 0;
    if (gdk_keymap_translate_keyboard_state(keymap, event->hardware_keycode,
                                            static_cast<GdkModifierType>(0), event->group, &base,
                                            nullptr, nullptr, nullptr))
        keyval = base;
    keyval = gdk_keyval_to_upper(keyval);
    if ((keyval >= 'A' && keyval <= 'Z') || (keyval >= '0' && keyval <= '9'))
        return keyval;
    switch (keyval) {
        case GDK_KEY_BackSpace:
            return 8;
        case GDK_KEY_Tab:
            return 9;
        case GDK_KEY_Return:
            return 13;
        case GDK_KEY_Escape:
            return 27;
        case GDK_KEY_space:
            return 32;
        case GDK_KEY_Left:
            return 37;
        case GDK_KEY_Up:
            return 38;
        case GDK_KEY_Right:
            return 39;
        case GDK_KEY_Down:
            return 40;
        case GDK_KEY_Delete:
            return 46;
        default:
            break;
    }
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12)
        return 112 + (keyval - GDK_KEY_F1);
    return 0;
}

}  // namespace

WebKitBrowser::WebKitBrowser(THostedBrowser& owner, const WebKitBackendOptions& options)
    : owner_(owner), options_(options) {
    content_ = webkit_user_content_manager_new();
    view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(
        g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", content_, nullptr)));

    g_signal_connect(content_, "script-message-received::kelvraFrame", G_CALLBACK(OnFrameMessage),
                     this);
    webkit_user_content_manager_register_script_message_handler_in_world(content_, kFrameChannel,
                                                                         kHostWorld);
    WebKitUserScript* frames = webkit_user_script_new_for_world(
        FrameReporterScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kHostWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(content_, frames);
    webkit_user_script_unref(frames);
    external_script_ = webkit_user_script_new(
        ExternalScriptSource().c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    no_scroll_bars_ = webkit_user_style_sheet_new(
        "html::-webkit-scrollbar, body::-webkit-scrollbar { display: none; width: 0; height: 0; }",
        WEBKIT_USER_CONTENT_INJECT_TOP_FRAME, WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);

    // Script errors never raise a dialog and the page's scripts run on (eaContinue): WebKit
    // reports them to the console only, which stays off.
    WebKitSettings* settings = webkit_web_view_get_settings(view_);
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, FALSE);
    webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);

    g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(view_, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(view_, "context-menu", G_CALLBACK(OnContextMenu), this);
    g_signal_connect(view_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(view_, "scroll-event", G_CALLBACK(OnScroll), this);
    g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
    g_signal_connect(webkit_web_view_get_back_forward_list(view_), "changed",
                     G_CALLBACK(OnHistoryChanged), this);
    gtk_widget_show(GTK_WIDGET(view_));
    Live().push_back(this);
}

WebKitBrowser::~WebKitBrowser() {
    *alive_ = false;
    Live().erase(std::remove(Live().begin(), Live().end(), this), Live().end());
    g_signal_handlers_disconnect_by_data(webkit_web_view_get_back_forward_list(view_), this);
    g_signal_handlers_disconnect_by_data(view_, this);
    g_signal_handlers_disconnect_by_data(content_, this);
    webkit_web_view_stop_loading(view_);
    gtk_widget_destroy(GTK_WIDGET(view_));  // leaves whatever container holds it
    g_object_unref(view_);
    webkit_user_style_sheet_unref(no_scroll_bars_);
    webkit_user_script_unref(external_script_);
    g_object_unref(content_);
}

WebKitBrowser* WebKitBrowser::FromView(const void* view) {
    if (view == nullptr)
        return nullptr;
    for (WebKitBrowser* b : Live())
        if (b->view_ == view)
            return b;
    return nullptr;
}

void WebKitBrowser::Sync() {
    gtk_widget_set_visible(GTK_WIDGET(view_), owner_.Visible());
}

void WebKitBrowser::Navigate(const std::string& url) {
    last_requested_ = url;
    awaiting_start_ = true;
    stop_before_start_ = false;
    webkit_web_view_load_uri(view_, url.c_str());
}

void WebKitBrowser::GoBack() {
    if (!webkit_web_view_can_go_back(view_))
        throw BrowserError("Unspecified error", kEFail);
    webkit_web_view_go_back(view_);
}

void WebKitBrowser::GoForward() {
    if (!webkit_web_view_can_go_forward(view_))
        throw BrowserError("Unspecified error", kEFail);
    webkit_web_view_go_forward(view_);
}

void WebKitBrowser::Refresh() {
    if (webkit_web_view_get_uri(view_) == nullptr)
        throw BrowserError("Unspecified error", kEFail);
    webkit_web_view_reload(view_);
}

void WebKitBrowser::Stop() {
    // A navigation asked for but not yet started is still deciding its policy, which
    // stopping the view does not reach: it is refused when its decision comes.
    if (awaiting_start_)
        stop_before_start_ = true;
    webkit_web_view_stop_loading(view_);
}

std::string WebKitBrowser::LocationName() const {
    // The document's title; a page without one is named by its address.
    const char* title = webkit_web_view_get_title(view_);
    if (title && *title)
        return title;
    if (!loaded_title_.empty())
        return loaded_title_;
    const char* uri = webkit_web_view_get_uri(view_);
    return uri ? uri : "";
}

bool WebKitBrowser::Busy() const {
    return webkit_web_view_is_loading(view_);
}

std::shared_ptr<const HtmlDocument3> WebKitBrowser::Doc3() const {
    if (requesting_document_)
        return requesting_document_;
    if (webkit_web_view_get_uri(view_) == nullptr)
        return nullptr;
    return MakeWebKitDocument(view_);
}

void WebKitBrowser::AmbientPropertyChanged(std::int32_t) {
    ApplyHostFlags();
}

// Of the host flags WebKit can express: no scroll bars on the top document. A web view draws
// no 3-D border, so DontUse3DBorders needs nothing; themes, flat scroll bars and form
// auto-complete have no WebKit counterpart.
void WebKitBrowser::ApplyHostFlags() {
    const bool hide =
        (GetHostInfo(owner_).dwFlags & HostFlagOf(TUserInterfaceOption::DontUseScrollBars)) != 0;
    if (hide == scroll_bars_hidden_)
        return;
    if (hide)
        webkit_user_content_manager_add_style_sheet(content_, no_scroll_bars_);
    else
        webkit_user_content_manager_remove_style_sheet(content_, no_scroll_bars_);
    scroll_bars_hidden_ = hide;
}

// Each new top document asks the window for its external object; window.external exists in
// the page only when the window gave one.
void WebKitBrowser::AskForExternal() {
    std::shared_ptr<Dispatch> external;
    AnswerGetExternal(owner_, external);
    external_ = std::move(external);
    const bool install = external_ != nullptr;
    if (install == external_installed_)
        return;
    if (install)
        webkit_user_content_manager_add_script(content_, external_script_);
    else
        webkit_user_content_manager_remove_script(content_, external_script_);
    external_installed_ = install;
}

void WebKitBrowser::ReportCommandState() {
    owner_.FireCommandStateChange(1, webkit_web_view_can_go_forward(view_));
    owner_.FireCommandStateChange(2, webkit_web_view_can_go_back(view_));
}

void WebKitBrowser::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    const char* uri = webkit_web_view_get_uri(view);
    std::string url = uri ? uri : "";
    switch (event) {
        case WEBKIT_LOAD_STARTED:
            self->awaiting_start_ = false;
            self->load_failed_ = false;
            self->AskForExternal();
            break;
        case WEBKIT_LOAD_COMMITTED:
            self->loaded_title_.clear();
            self->owner_.FireNavigateComplete2(self->view_, url);
            self->ReportCommandState();
            break;
        case WEBKIT_LOAD_FINISHED:
            // A failed load is followed by the error page's own load, which completes.
            if (!self->load_failed_)
                self->owner_.FireDocumentComplete(self->view_, url);
            break;
        case WEBKIT_LOAD_REDIRECTED:
            break;
    }
}

gboolean WebKitBrowser::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*,
                                     gpointer data) {
    static_cast<WebKitBrowser*>(data)->load_failed_ = true;
    return FALSE;  // WebKit shows its error page
}

// The new-window request is answered later: the requesting page waits for this signal, and
// the windows' handlers read that page's document. WebKit gets no view; the window that
// takes the request loads the address in its own browser.
GtkWidget* WebKitBrowser::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
    const std::string url = uri ? uri : "";
    const std::uint32_t flags =
        webkit_navigation_action_is_user_gesture(action) ? kNwmfUserInitiated : 0;
    std::weak_ptr<bool> alive = self->alive_;
    struct Request {
        WebKitBrowser* self;
        std::weak_ptr<bool> alive;
        std::string url;
        std::uint32_t flags;
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer p) {
            const auto* r = static_cast<Request*>(p);
            if (auto alive = r->alive.lock(); alive && *alive)
                r->self->NewWindowRequested(r->url, r->flags);
            return G_SOURCE_REMOVE;
        },
        new Request{self, alive, url, flags}, [](gpointer p) { delete static_cast<Request*>(p); });
    return nullptr;
}

void WebKitBrowser::NewWindowRequested(const std::string& url, std::uint32_t flags) {
    const char* uri = webkit_web_view_get_uri(view_);
    const std::string context = uri ? uri : "";
    DispatchHandle target = nullptr;
    bool cancel = false;
    // The handlers look for the requesting link in this page. Its links are read now,
    // before anything navigates: a handler that navigates this browser and then searches
    // would otherwise find the new page whenever it loads during the search's wait.
    struct ForgetOnExit {
        std::shared_ptr<const HtmlDocument3>& slot;
        ~ForgetOnExit() { slot.reset(); }
    } forget{requesting_document_};
    if (uri != nullptr)
        requesting_document_ = SnapshotWebKitDocument(view_);
    owner_.FireNewWindow3(target, cancel, flags, context, url);
    if (cancel)
        return;
    if (target == nullptr) {
        if (options_.open_externally)
            options_.open_externally(url);
        return;
    }
    // The target window normally navigates itself from its handler; otherwise it gets the
    // address here.
    if (WebKitBrowser* browser = FromView(target); browser && browser->last_requested_ != url)
        browser->Navigate(url);
}

gboolean WebKitBrowser::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                       WebKitPolicyDecisionType type, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) {
        if (!self->stop_before_start_)
            return FALSE;
        self->stop_before_start_ = false;
        self->awaiting_start_ = false;
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        return FALSE;
    auto* response_decision = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    WebKitURIResponse* response = webkit_response_policy_decision_get_response(response_decision);
    bool attachment = false;
    if (SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response)) {
        char* disposition = nullptr;
        attachment = soup_message_headers_get_content_disposition(headers, &disposition, nullptr) &&
                     g_ascii_strcasecmp(disposition, "attachment") == 0;
        g_free(disposition);
    }
    if (!attachment && webkit_response_policy_decision_is_mime_type_supported(response_decision))
        return FALSE;
    webkit_policy_decision_download(decision);
    return TRUE;
}

gboolean WebKitBrowser::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent* event,
                                      WebKitHitTestResult* hit, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    std::uint32_t kind = kMenuDefault;
    if (webkit_hit_test_result_context_is_link(hit))
        kind = kMenuAnchor;
    else if (webkit_hit_test_result_context_is_image(hit))
        kind = kMenuImage;
    else if (webkit_hit_test_result_context_is_editable(hit))
        kind = kMenuControl;
    else if (webkit_hit_test_result_context_is_selection(hit))
        kind = kMenuTextSelect;
    Point point;
    double x = 0, y = 0;
    if (event && gdk_event_get_root_coords(event, &x, &y))
        point = {static_cast<int>(x), static_cast<int>(y)};
    // S_FALSE leaves the platform's own menu; anything else means the host dealt with it.
    return AnswerShowContextMenu(self->owner_, kind, &point, nullptr, hit) != kSFalse;
}

gboolean WebKitBrowser::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    ui::Message message;
    message.window = self->view_;
    message.message = ui::kWmKeyDown;
    message.wparam = VirtualKeyOf(event);
    KeyState keys;
    keys.shift = (event->state & GDK_SHIFT_MASK) != 0;
    keys.ctrl = (event->state & GDK_CONTROL_MASK) != 0;
    return AnswerTranslateAccelerator(self->owner_, message, keys) == kSOk;
}

gboolean WebKitBrowser::OnScroll(GtkWidget* view, GdkEventScroll* event, gpointer) {
    return ApplyWheelRule(view, event);
}

void WebKitBrowser::OnHistoryChanged(WebKitBackForwardList*, WebKitBackForwardListItem*, gpointer,
                                     gpointer data) {
    static_cast<WebKitBrowser*>(data)->ReportCommandState();
}

void WebKitBrowser::OnFrameMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                                   gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    char* text = jsc_value_to_string(webkit_javascript_result_get_js_value(result));
    const std::string message = text ? text : "";
    g_free(text);
    const auto cut = message.find('\n');
    if (cut == std::string::npos)
        return;
    const std::string event = message.substr(0, cut);
    std::string url = message.substr(cut + 1);
    // Frames are reported without a browser object of their own.
    if (event == "title")
        self->loaded_title_ = url;
    else if (event == "navigate")
        self->owner_.FireNavigateComplete2(nullptr, url);
    else if (event == "complete")
        self->owner_.FireDocumentComplete(nullptr, url);
}

// Without this the window would stay white with its old title for good.
void WebKitBrowser::OnWebProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason,
                                           gpointer data) {
    auto* self = static_cast<WebKitBrowser*>(data);
    const char* uri = webkit_web_view_get_uri(view);
    const std::string address = uri ? uri : self->last_requested_;
    if (address.empty())
        return;  // nothing was shown: the next navigation starts a new process anyway
    if (self->crash_recovery_.OnTerminated(std::chrono::steady_clock::now()) ==
        CrashRecovery::Action::Reload) {
        // Loaded afresh: a reload of a view whose process died takes the page from the cache,
        // and that page may be what it died on.
        webkit_web_view_load_uri(view, address.c_str());
        return;
    }
    webkit_web_view_load_alternate_html(view, CrashPageHtml(address).c_str(), address.c_str(),
                                        nullptr);
}

std::string WebKitBrowser::AnswerExternal(std::uint64_t page, std::string_view message) {
    WebKitBrowser* self = nullptr;
    for (WebKitBrowser* browser : Live()) {
        if (webkit_web_view_get_page_id(browser->view_) == page)
            self = browser;
    }
    if (!self || !self->external_)
        return R"({"ok":false,"message":"The page has no external object"})";
    if (!self->options_.external_handler)
        return R"({"ok":false,"message":"The client takes no hand-off"})";
    // The call may show a box: the window stays until its page has the answer.
    ui::Form& form = self->owner_.form();
    ui::Application::RunningHandler running(form.app(), &form);
    return self->options_.external_handler(message);
}

}  // namespace kelvra::browser::gtk
