// Message boxes. Every box goes through MessageBoxes so that tests can answer it through
// the dialog script (KELVRA_DIALOG_SCRIPT) instead of a person.
#pragma once

#include <memory>
#include <string>

namespace kelvra::platform {
class Environment;
}

namespace kelvra::ui {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

// Native window handle of the owner (HWND on Windows, GtkWindow* on Linux); null for none.
using NativeWindow = void*;

struct MessageBoxRequest {
    NativeWindow owner = nullptr;
    std::string text;
    std::string caption;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    // The button Enter presses, counted from the first (0, 1, 2).
    int default_button = 0;
    // A box with no owner that disables the thread's other windows while it shows (Windows;
    // a GTK box runs modal to the whole application anyway).
    bool task_modal = false;
};

class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual MsgResult Show(const MessageBoxRequest& request) = 0;
};

// The platform's own message box (MessageBoxW / a GTK message dialog).
MessageBoxes& SystemMessageBoxes();

// The dialog script when KELVRA_DIALOG_SCRIPT names a file, otherwise the system boxes.
MessageBoxes& ApplicationMessageBoxes();

// The answer of a box left without pressing a button (closed, or no answer given): its No
// or Cancel button, OK when OK is its only button, Abort for Abort/Retry/Ignore.
MsgResult DismissAnswer(MsgButtons buttons);

const char* ToString(MsgButtons buttons);
const char* ToString(MsgIcon icon);
const char* ToString(MsgResult result);

}  // namespace kelvra::ui
