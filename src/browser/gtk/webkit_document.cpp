#include "browser/gtk/webkit_document.h"

#include <string>
#include <utility>
#include <vector>

#include "browser/gtk/page_scripts.h"
#include "platform/error.h"

namespace kelvra::browser::gtk {
namespace {

struct Element {
    std::optional<std::string> href;
    std::vector<std::pair<std::string, std::string>> attributes;
};

class Elements final : public AnchorList {
  public:
    explicit Elements(std::vector<Element> elements) : elements_(std::move(elements)) {}
    std::size_t Length() const override { return elements_.size(); }
    std::string Href(std::size_t index) const override {
        const Element& e = elements_.at(index);
        if (!e.href)
            throw Error("The element has no property \"href\"");
        return *e.href;
    }
    // Attributes are the page's expando properties; HTML keeps their names in lower case.
    std::string Property(std::size_t index, std::string_view name) const override {
        std::string key(name);
        for (char& c : key)
            c = static_cast<char>(g_ascii_tolower(c));
        for (const auto& [attribute, value] : elements_.at(index).attributes)
            if (attribute == key)
                return value;
        throw Error("The element has no property \"" + std::string(name) + "\"");
    }

  private:
    std::vector<Element> elements_;
};

// The pending answer of one query; shared with the callback, which may arrive after the
// caller gave up waiting.
struct Pending {
    bool done = false;
    JSCValue* value = nullptr;
    std::string error;
    ~Pending() {
        if (value)
            g_object_unref(value);
    }
};

void QueryDone(GObject* source, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<std::shared_ptr<Pending>*>(data);
    GError* error = nullptr;
    JSCValue* value = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source),
                                                                            result, &error);
    (*pending)->done = true;
    if (error) {
        (*pending)->error = error->message;
        g_error_free(error);
    }
    (*pending)->value = value;
    delete pending;
}

std::string StringOf(JSCValue* value) {
    char* text = jsc_value_to_string(value);
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

int LengthOf(JSCValue* array) {
    JSCValue* length = jsc_value_object_get_property(array, "length");
    const int n = jsc_value_to_int32(length);
    g_object_unref(length);
    return n;
}

std::vector<Element> ReadElements(JSCValue* array) {
    if (!jsc_value_is_array(array))
        throw Error("The page answered the element query with no list");
    std::vector<Element> out;
    const int count = LengthOf(array);
    for (int i = 0; i < count; ++i) {
        JSCValue* item = jsc_value_object_get_property_at_index(array, static_cast<guint>(i));
        JSCValue* href = jsc_value_object_get_property_at_index(item, 0);
        JSCValue* attributes = jsc_value_object_get_property_at_index(item, 1);
        Element element;
        if (jsc_value_is_string(href))
            element.href = StringOf(href);
        const int n = LengthOf(attributes);
        for (int k = 0; k < n; ++k) {
            JSCValue* pair =
                jsc_value_object_get_property_at_index(attributes, static_cast<guint>(k));
            JSCValue* name = jsc_value_object_get_property_at_index(pair, 0);
            JSCValue* value = jsc_value_object_get_property_at_index(pair, 1);
            element.attributes.emplace_back(StringOf(name), StringOf(value));
            g_object_unref(value);
            g_object_unref(name);
            g_object_unref(pair);
        }
        out.push_back(std::move(element));
        g_object_unref(attributes);
        g_object_unref(href);
        g_object_unref(item);
    }
    return out;
}

class WebKitDocument final : public HtmlDocument3 {
  public:
    explicit WebKitDocument(WebKitWebView* view) : view_(view) {
        g_object_add_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
    }
    ~WebKitDocument() override {
        if (view_)
            g_object_remove_weak_pointer(G_OBJECT(view_), reinterpret_cast<gpointer*>(&view_));
    }

    std::unique_ptr<AnchorList> GetElementsByTagName(std::string_view tag) const override {
        return std::make_unique<Elements>(Query(tag));
    }

    std::vector<Element> Query(std::string_view tag) const {
        if (!view_)
            throw Error("The browser holds no HTML document");
        auto pending = std::make_shared<Pending>();
        GVariantDict arguments;
        g_variant_dict_init(&arguments, nullptr);
        g_variant_dict_insert(&arguments, "tag", "s", std::string(tag).c_str());
        webkit_web_view_call_async_javascript_function(
            view_, ElementQueryFunctionBody(), -1, g_variant_dict_end(&arguments), kHostWorld,
            nullptr, nullptr, QueryDone, new std::shared_ptr<Pending>(pending));

        // Waits on nested turns of the main loop; the tick wakes the wait for the deadline.
        const auto deadline = std::chrono::steady_clock::now() + kDocumentQueryTimeout;
        const guint tick = g_timeout_add(
            50, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
        while (!pending->done && std::chrono::steady_clock::now() < deadline)
            g_main_context_iteration(nullptr, TRUE);
        g_source_remove(tick);

        if (!pending->done)
            throw Error("The page did not answer the element query in time");
        if (!pending->error.empty())
            throw Error("The element query failed: " + pending->error);
        return ReadElements(pending->value);
    }

  private:
    WebKitWebView* view_;
};

// The links of the document as they were when it was made: the page the view shows later
// (a navigation may complete while a query turns the main loop) does not change them.
class SnapshotDocument final : public HtmlDocument3 {
  public:
    explicit SnapshotDocument(WebKitWebView* view) : live_(view) {
        try {
            anchors_ = live_.Query("a");
        } catch (const Error& e) {
            error_ = e.what();
        }
    }

    std::unique_ptr<AnchorList> GetElementsByTagName(std::string_view tag) const override {
        if (!g_ascii_strcasecmp(std::string(tag).c_str(), "a")) {
            if (!error_.empty())
                throw Error(error_);
            return std::make_unique<Elements>(anchors_);
        }
        return live_.GetElementsByTagName(tag);
    }

  private:
    WebKitDocument live_;
    std::vector<Element> anchors_;
    std::string error_;
};

}  // namespace

std::shared_ptr<const HtmlDocument3> MakeWebKitDocument(WebKitWebView* view) {
    return std::make_shared<WebKitDocument>(view);
}

std::shared_ptr<const HtmlDocument3> SnapshotWebKitDocument(WebKitWebView* view) {
    return std::make_shared<SnapshotDocument>(view);
}

}  // namespace kelvra::browser::gtk
