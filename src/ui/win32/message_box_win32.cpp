#include <windows.h>

#include "platform/win32/wide.h"
#include "ui/message_box.h"

namespace kelvra::ui {
namespace {

UINT ButtonFlags(MsgButtons b) {
    switch (b) {
        case MsgButtons::Ok:
            return MB_OK;
        case MsgButtons::OkCancel:
            return MB_OKCANCEL;
        case MsgButtons::YesNo:
            return MB_YESNO;
        case MsgButtons::YesNoCancel:
            return MB_YESNOCANCEL;
        case MsgButtons::RetryCancel:
            return MB_RETRYCANCEL;
        case MsgButtons::AbortRetryIgnore:
            return MB_ABORTRETRYIGNORE;
    }
    return MB_OK;
}

UINT IconFlags(MsgIcon i) {
    switch (i) {
        case MsgIcon::None:
            return 0;
        case MsgIcon::Information:
            return MB_ICONINFORMATION;
        case MsgIcon::Warning:
            return MB_ICONWARNING;
        case MsgIcon::Error:
            return MB_ICONSTOP;
        case MsgIcon::Question:
            return MB_ICONQUESTION;
    }
    return 0;
}

UINT DefaultButtonFlag(int index) {
    switch (index) {
        case 1:
            return MB_DEFBUTTON2;
        case 2:
            return MB_DEFBUTTON3;
        default:
            return MB_DEFBUTTON1;
    }
}

MsgResult FromId(int id) {
    switch (id) {
        case IDOK:
            return MsgResult::Ok;
        case IDYES:
            return MsgResult::Yes;
        case IDNO:
            return MsgResult::No;
        case IDRETRY:
            return MsgResult::Retry;
        case IDABORT:
            return MsgResult::Abort;
        case IDIGNORE:
            return MsgResult::Ignore;
        default:
            return MsgResult::Cancel;
    }
}

class Win32MessageBoxes final : public MessageBoxes {
  public:
    MsgResult Show(const MessageBoxRequest& r) override {
        const int id = MessageBoxW(
            static_cast<HWND>(r.owner), platform::win32::Widen(r.text).c_str(),
            platform::win32::Widen(r.caption).c_str(),
            ButtonFlags(r.buttons) | IconFlags(r.icon) | DefaultButtonFlag(r.default_button) |
                (r.task_modal ? MB_TASKMODAL : 0u));
        return FromId(id);
    }
};

}  // namespace

MessageBoxes& SystemMessageBoxes() {
    static Win32MessageBoxes boxes;
    return boxes;
}

}  // namespace kelvra::ui
