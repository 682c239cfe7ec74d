#include "ui/message_box.h"

#include "ui/dialog_script.h"

namespace kelvra::ui {

MessageBoxes& ApplicationMessageBoxes() {
    if (DialogScript* script = ActiveDialogScript())
        return *script;
    return SystemMessageBoxes();
}

MsgResult DismissAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgResult::Ok;
        case MsgButtons::YesNo:
            return MsgResult::No;
        case MsgButtons::AbortRetryIgnore:
            return MsgResult::Abort;
        case MsgButtons::OkCancel:
        case MsgButtons::YesNoCancel:
        case MsgButtons::RetryCancel:
            return MsgResult::Cancel;
    }
    return MsgResult::Cancel;
}

const char* ToString(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return "OK";
        case MsgButtons::OkCancel:
            return "OKCancel";
        case MsgButtons::YesNo:
            return "YesNo";
        case MsgButtons::YesNoCancel:
            return "YesNoCancel";
        case MsgButtons::RetryCancel:
            return "RetryCancel";
        case MsgButtons::AbortRetryIgnore:
            return "AbortRetryIgnore";
    }
    return "?";
}

const char* ToString(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::None:
            return "None";
        case MsgIcon::Information:
            return "Information";
        case MsgIcon::Warning:
            return "Warning";
        case MsgIcon::Error:
            return "Error";
        case MsgIcon::Question:
            return "Question";
    }
    return "?";
}

const char* ToString(MsgResult result) {
    switch (result) {
        case MsgResult::Ok:
            return "OK";
        case MsgResult::Cancel:
            return "Cancel";
        case MsgResult::Yes:
            return "Yes";
        case MsgResult::No:
            return "No";
        case MsgResult::Retry:
            return "Retry";
        case MsgResult::Abort:
            return "Abort";
        case MsgResult::Ignore:
            return "Ignore";
    }
    return "?";
}

}  // namespace kelvra::ui
