// The memo: a read-only, word-wrapped rich-edit box with a vertical scroll bar. The rich-edit
// library is loaded once at run time (Msftedit.dll, else Riched20.dll); without either the
// memo is a plain multi-line EDIT showing rich text as its plain text.
#include <windows.h>

#include <richedit.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/win32/wide.h"
#include "ui/controls.h"
#include "ui/rich_text.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/win32_ui.h"

namespace kelvra::ui::win32 {
namespace {

using platform::win32::Widen;

// The window class of the newest rich-edit control the system has, or null. The library
// stays loaded for the life of the process, as its window class needs it.
const wchar_t* RichEditClass() {
    static const wchar_t* const window_class = []() -> const wchar_t* {
        if (LoadLibraryW(L"Msftedit.dll") != nullptr)
            return MSFTEDIT_CLASS;
        if (LoadLibraryW(L"Riched20.dll") != nullptr)
            return RICHEDIT_CLASSW;
        return nullptr;
    }();
    return window_class;
}

// Bytes handed to EM_STREAMIN in the pieces the control asks for.
struct StreamSource {
    const char* data;
    std::size_t left;
};

DWORD CALLBACK ReadStream(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* source = reinterpret_cast<StreamSource*>(cookie);
    const std::size_t n = std::min(source->left, static_cast<std::size_t>(size));
    std::memcpy(buffer, source->data, n);
    source->data += n;
    source->left -= n;
    *read = static_cast<LONG>(n);
    return 0;
}

// A multi-line EDIT breaks lines only at CR LF.
std::wstring WithCrLf(const std::wstring& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r'))
            out.push_back(L'\r');
        out.push_back(text[i]);
    }
    return out;
}

class MemoPeer final : public Win32ControlPeer {
  public:
    MemoPeer(Win32Ui& ui, Memo& memo) : Win32ControlPeer(ui, memo), memo_(memo) {
        const DWORD style =
            WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
        if (const wchar_t* rich = RichEditClass()) {
            // The scroll bar stays shown (disabled) while the text fits, as in an EDIT.
            CreateChild(rich, style | ES_DISABLENOSCROLL, WS_EX_CLIENTEDGE);
            rich_edit_ = true;
            // Lines wrap at the window's width.
            SendMessageW(hwnd_, EM_SETTARGETDEVICE, 0, 0);
        } else {
            CreateChild(L"EDIT", style, WS_EX_CLIENTEDGE);
        }
    }

    void Sync() override {
        SyncCommon(false);
        // The text is loaded again only when it changed, so the reader's scroll position
        // survives layout.
        if (shown_ && memo_.Text() == text_ && memo_.Rich() == rich_)
            return;
        shown_ = true;
        text_ = memo_.Text();
        rich_ = memo_.Rich();
        if (!rich_edit_) {
            const std::string plain = rich_ ? RichTextToPlain(text_) : text_;
            SetWindowTextW(hwnd_, WithCrLf(Widen(plain)).c_str());
            return;
        }
        if (rich_ && StreamIn(SF_RTF, text_.data(), text_.size()))
            return;
        // Plain text, or rich text the control could not read: shown as plain text.
        const std::wstring wide = Widen(rich_ ? RichTextToPlain(text_) : text_);
        StreamIn(SF_TEXT | SF_UNICODE, reinterpret_cast<const char*>(wide.data()),
                 wide.size() * sizeof(wchar_t));
    }

  private:
    // Replaces the control's contents; false when the control reported a read error.
    bool StreamIn(UINT format, const char* data, std::size_t size) {
        StreamSource source{data, size};
        EDITSTREAM stream{};
        stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
        stream.pfnCallback = &ReadStream;
        SendMessageW(hwnd_, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
        return stream.dwError == 0;
    }

    Memo& memo_;
    bool rich_edit_ = false;
    bool shown_ = false;
    std::string text_;
    bool rich_ = false;
};

}  // namespace

std::unique_ptr<NativeControl> CreateMemo(Win32Ui& ui, Memo& memo) {
    return std::make_unique<MemoPeer>(ui, memo);
}

}  // namespace kelvra::ui::win32
