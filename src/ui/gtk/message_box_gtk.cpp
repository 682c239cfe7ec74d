#include <gtk/gtk.h>

#include <cstdio>
#include <vector>

#include "ui/message_box.h"

namespace kelvra::ui {
namespace {

GtkMessageType MessageType(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None:
            return GTK_MESSAGE_OTHER;
        case MsgIcon::Information:
            return GTK_MESSAGE_INFO;
        case MsgIcon::Warning:
            return GTK_MESSAGE_WARNING;
        case MsgIcon::Error:
            return GTK_MESSAGE_ERROR;
        case MsgIcon::Question:
            return GTK_MESSAGE_QUESTION;
    }
    return GTK_MESSAGE_OTHER;
}

struct ButtonSpec {
    const char* label;
    MsgResult result;
};

std::vector<ButtonSpec> Buttons(MsgButtons b) {
    switch (b) {
        case MsgButtons::Ok:
            return {{"OK", MsgResult::Ok}};
        case MsgButtons::OkCancel:
            return {{"OK", MsgResult::Ok}, {"Cancel", MsgResult::Cancel}};
        case MsgButtons::YesNo:
            return {{"_Yes", MsgResult::Yes}, {"_No", MsgResult::No}};
        case MsgButtons::YesNoCancel:
            return {
                {"_Yes", MsgResult::Yes}, {"_No", MsgResult::No}, {"Cancel", MsgResult::Cancel}};
        case MsgButtons::RetryCancel:
            return {{"_Retry", MsgResult::Retry}, {"Cancel", MsgResult::Cancel}};
        case MsgButtons::AbortRetryIgnore:
            return {{"_Abort", MsgResult::Abort},
                    {"_Retry", MsgResult::Retry},
                    {"_Ignore", MsgResult::Ignore}};
    }
    return {{"OK", MsgResult::Ok}};
}

class GtkMessageBoxes final : public MessageBoxes {
  public:
    MsgResult Show(const MessageBoxRequest& r) override {
        if (!gtk_init_check(nullptr, nullptr)) {
            // No display to show it on: the text still reaches the user on stderr.
            std::fprintf(stderr, "%s: %s\n", r.caption.c_str(), r.text.c_str());
            return DismissAnswer(r.buttons);
        }
        GtkWidget* dialog =
            gtk_message_dialog_new(GTK_WINDOW(r.owner), GTK_DIALOG_MODAL, MessageType(r.icon),
                                   GTK_BUTTONS_NONE, "%s", r.text.c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), r.caption.c_str());
        const auto buttons = Buttons(r.buttons);
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[i].label, static_cast<int>(i));
        }
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), r.default_button);
        const int response = gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        if (response >= 0 && static_cast<std::size_t>(response) < buttons.size()) {
            return buttons[static_cast<std::size_t>(response)].result;
        }
        return DismissAnswer(r.buttons);
    }
};

}  // namespace

MessageBoxes& SystemMessageBoxes() {
    static GtkMessageBoxes boxes;
    return boxes;
}

}  // namespace kelvra::ui
