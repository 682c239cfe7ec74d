// The title-bar strip: a band across the top of the form's client area. Information items
// are text; button items are owner-drawn image buttons whose window text is their hint,
// with a tooltip showing that hint on hover.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "platform/win32/wide.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/win32_ui.h"

namespace kelvra::ui::win32 {
namespace {

using platform::win32::Widen;

constexpr COLORREF kStripColour = RGB(36, 94, 168);
constexpr COLORREF kPressedColour = RGB(22, 64, 120);
constexpr COLORREF kInk = RGB(255, 255, 255);
constexpr COLORREF kDisabledInk = RGB(130, 160, 200);
constexpr int kItemIdBase = 1000;
constexpr int kMargin = 4;

enum class Glyph { Back, Forward, Refresh, Settings };

Glyph GlyphOf(const TitleBarItem& item) {
    if (item.name == "tle_btn_back")
        return Glyph::Back;
    if (item.name == "tle_btn_foward")
        return Glyph::Forward;
    if (item.name == "tle_btn_reflash")
        return Glyph::Refresh;
    return Glyph::Settings;
}

void DrawGlyph(HDC dc, const RECT& r, Glyph glyph, COLORREF ink) {
    const int cx = (r.left + r.right) / 2;
    const int cy = (r.top + r.bottom) / 2;
    HPEN pen = CreatePen(PS_SOLID, 2, ink);
    HBRUSH brush = CreateSolidBrush(ink);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, brush);
    switch (glyph) {
        case Glyph::Back:
        case Glyph::Forward: {
            const int d = glyph == Glyph::Back ? -1 : 1;
            POINT head[3] = {{cx + d * 7, cy}, {cx + d * 1, cy - 6}, {cx + d * 1, cy + 6}};
            Polygon(dc, head, 3);
            MoveToEx(dc, cx + d * 2, cy, nullptr);
            LineTo(dc, cx - d * 7, cy);
            break;
        }
        case Glyph::Refresh: {
            SelectObject(dc, GetStockObject(NULL_BRUSH));
            Arc(dc, cx - 6, cy - 6, cx + 7, cy + 7, cx + 7, cy - 2, cx + 2, cy - 7);
            SelectObject(dc, brush);
            POINT head[3] = {{cx + 3, cy - 8}, {cx + 8, cy - 4}, {cx + 2, cy - 2}};
            Polygon(dc, head, 3);
            break;
        }
        case Glyph::Settings: {
            static const int kTeeth[8][2] = {{0, -7}, {5, -5}, {7, 0},  {5, 5},
                                             {0, 7},  {-5, 5}, {-7, 0}, {-5, -5}};
            for (const auto& t : kTeeth) {
                MoveToEx(dc, cx, cy, nullptr);
                LineTo(dc, cx + t[0], cy + t[1]);
            }
            Ellipse(dc, cx - 5, cy - 5, cx + 6, cy + 6);
            HBRUSH hole = CreateSolidBrush(kStripColour);
            SelectObject(dc, hole);
            SelectObject(dc, GetStockObject(NULL_PEN));
            Ellipse(dc, cx - 2, cy - 2, cx + 3, cy + 3);
            SelectObject(dc, brush);
            DeleteObject(hole);
            break;
        }
    }
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(pen);
    DeleteObject(brush);
}

class TitleBarPeer final : public Win32ControlPeer {
  public:
    TitleBarPeer(Win32Ui& ui, TitleBar& bar) : Win32ControlPeer(ui, bar), bar_(bar) {
        RegisterStripClass();
        CreateChild(kTitleStripClass, WS_VISIBLE | WS_CLIPCHILDREN, 0);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        background_ = CreateSolidBrush(kStripColour);
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        for (std::size_t i = 0; i < bar_.ItemCount(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            const bool button = item.style == TitleBarItemStyle::Button;
            HWND h = CreateWindowExW(
                0, button ? L"BUTTON" : L"STATIC", L"",
                WS_CHILD | (button ? BS_OWNERDRAW
                                   : SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE | SS_ENDELLIPSIS),
                0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kItemIdBase + i)),
                GetModuleHandleW(nullptr), nullptr);
            SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(ui_.Font()), FALSE);
            items_.push_back(h);
            tips_.emplace_back();
        }
    }

    ~TitleBarPeer() override {
        if (tooltip_ != nullptr && IsWindow(tooltip_))
            DestroyWindow(tooltip_);
        if (hwnd_ != nullptr && IsWindow(hwnd_))
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DeleteObject(background_);
    }

    void Sync() override {
        SyncCommon(false);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            const bool button = item.style == TitleBarItemStyle::Button;
            // A button's window text is its hint, so that it can be found and read out.
            const std::wstring text = Widen(button ? item.hint : item.caption);
            if (WindowText(items_[i]) != text)
                SetWindowTextW(items_[i], text.c_str());
            EnableWindow(items_[i], item.enabled ? TRUE : FALSE);
            UpdateTip(i, item);
        }
        LayoutItems();
    }

  private:
    static std::wstring WindowText(HWND h) {
        std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
        text.resize(static_cast<std::size_t>(
            GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
        return text;
    }

    void UpdateTip(std::size_t i, const TitleBarItem& item) {
        const std::wstring want = item.show_hint ? Widen(item.hint) : std::wstring();
        if (tooltip_ == nullptr || want == tips_[i])
            return;
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = hwnd_;
        ti.uId = reinterpret_cast<UINT_PTR>(items_[i]);
        if (!tips_[i].empty())
            SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        tips_[i] = want;
        if (!want.empty()) {
            ti.lpszText = tips_[i].data();
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }

    int ItemWidth(std::size_t i) const {
        const TitleBarItem& item = bar_.Item(i);
        if (item.style == TitleBarItemStyle::Button)
            return std::max(item.width + 6, item.height);
        // Information items grow to their text, beyond their design width.
        const std::wstring text = Widen(item.caption);
        HDC dc = GetDC(hwnd_);
        HGDIOBJ old = SelectObject(dc, ui_.Font());
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(hwnd_, dc);
        return std::max(item.width, static_cast<int>(size.cx) + 8);
    }

    void LayoutItems() {
        RECT rc{};
        GetClientRect(hwnd_, &rc);
        int left = kMargin;
        int right = rc.right - kMargin;
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            if (!item.visible) {
                ShowWindow(items_[i], SW_HIDE);
                continue;
            }
            const int h = std::min<int>(item.height > 0 ? item.height : 22, rc.bottom);
            const int top = (rc.bottom - h) / 2;
            int w = ItemWidth(i);
            int x = 0;
            if (item.align_right) {
                x = right - w;
                right = x - 2;
            } else {
                w = std::max(0, std::min(w, right - left));
                x = left;
                left += w + 2;
            }
            SetWindowPos(items_[i], nullptr, x, top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
            ShowWindow(items_[i], SW_SHOWNA);
        }
    }

    LRESULT Handle(UINT msg, WPARAM wp, LPARAM lp) {
        switch (msg) {
            case WM_ERASEBKGND: {
                RECT rc{};
                GetClientRect(hwnd_, &rc);
                FillRect(reinterpret_cast<HDC>(wp), &rc, background_);
                return 1;
            }
            case WM_CTLCOLORSTATIC: {
                HDC dc = reinterpret_cast<HDC>(wp);
                SetTextColor(dc, kInk);
                SetBkColor(dc, kStripColour);
                return reinterpret_cast<LRESULT>(background_);
            }
            case WM_DRAWITEM: {
                const auto& di = *reinterpret_cast<const DRAWITEMSTRUCT*>(lp);
                const std::size_t i = di.CtlID - kItemIdBase;
                if (i >= items_.size())
                    return FALSE;
                HBRUSH fill =
                    CreateSolidBrush((di.itemState & ODS_SELECTED) ? kPressedColour : kStripColour);
                FillRect(di.hDC, &di.rcItem, fill);
                DeleteObject(fill);
                DrawGlyph(di.hDC, di.rcItem, GlyphOf(bar_.Item(i)),
                          (di.itemState & ODS_DISABLED) ? kDisabledInk : kInk);
                return TRUE;
            }
            case WM_COMMAND: {
                const std::size_t i = static_cast<std::size_t>(LOWORD(wp)) - kItemIdBase;
                if (HIWORD(wp) == BN_CLICKED && i < items_.size())
                    bar_.ClickItem(i);
                return 0;
            }
            case WM_SIZE:
                LayoutItems();
                return 0;
            default:
                return DefWindowProcW(hwnd_, msg, wp, lp);
        }
    }

    static LRESULT CALLBACK StripProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TitleBarPeer*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self == nullptr)
            return DefWindowProcW(hwnd, msg, wp, lp);
        try {
            return self->Handle(msg, wp, lp);
        } catch (...) {
            self->control().form().app().ShowException(std::current_exception());
            return 0;
        }
    }

    static void RegisterStripClass() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        if (GetClassInfoExW(GetModuleHandleW(nullptr), kTitleStripClass, &wc))
            return;
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &StripProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kTitleStripClass;
        RegisterClassExW(&wc);
    }

    TitleBar& bar_;
    HBRUSH background_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<HWND> items_;
    std::vector<std::wstring> tips_;
};

}  // namespace

std::unique_ptr<NativeControl> CreateTitleBar(Win32Ui& ui, TitleBar& bar) {
    static const bool initialised = [] {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)initialised;
    return std::make_unique<TitleBarPeer>(ui, bar);
}

}  // namespace kelvra::ui::win32
