// The memo: a read-only, word-wrapped text view in a scrolled window whose vertical scroll
// bar is always shown. GTK has no rich-text box, so rich text shows as its plain text.
#include <algorithm>
#include <string>

#include "ui/gtk/gtk_controls.h"
#include "ui/gtk/gtk_placed_control.h"
#include "ui/rich_text.h"

namespace kelvra::ui::gtk {
namespace {

// A text buffer takes only valid UTF-8 without NUL characters: NULs are dropped and
// ill-formed sequences become U+FFFD rather than losing the whole text.
std::string ShowableText(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string out(valid);
    g_free(valid);
    return out;
}

class GtkMemo final : public GtkPlacedControl {
  public:
    GtkMemo(Memo& memo, GtkWidget* scrolled)
        : GtkPlacedControl(memo, scrolled), memo_(memo), view_(gtk_text_view_new()) {
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(widget_), GTK_POLICY_NEVER,
                                       GTK_POLICY_ALWAYS);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(widget_), GTK_SHADOW_IN);
        gtk_text_view_set_editable(GTK_TEXT_VIEW(view_), FALSE);
        gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view_), FALSE);
        gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view_), GTK_WRAP_WORD_CHAR);
        gtk_widget_set_name(view_, memo.Name().empty() ? "memo" : memo.Name().c_str());
        gtk_container_add(GTK_CONTAINER(widget_), view_);
        gtk_widget_show(view_);
    }

    void Sync() override {
        Place();
        // The buffer is set again only when the text changed, so the reader's scroll
        // position survives layout.
        if (shown_ && memo_.Text() == text_ && memo_.Rich() == rich_)
            return;
        shown_ = true;
        text_ = memo_.Text();
        rich_ = memo_.Rich();
        const std::string plain = ShowableText(rich_ ? RichTextToPlain(text_) : text_);
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view_));
        gtk_text_buffer_set_text(buffer, plain.data(), static_cast<gint>(plain.size()));
        GtkTextIter start;
        gtk_text_buffer_get_start_iter(buffer, &start);
        gtk_text_buffer_place_cursor(buffer, &start);
    }

  private:
    Memo& memo_;
    GtkWidget* view_;
    bool shown_ = false;
    std::string text_;
    bool rich_ = false;
};

}  // namespace

std::unique_ptr<NativeControl> MakeMemo(Memo& memo) {
    return std::make_unique<GtkMemo>(memo, gtk_scrolled_window_new(nullptr, nullptr));
}

}  // namespace kelvra::ui::gtk
