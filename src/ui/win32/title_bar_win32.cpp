// The title bar: a strip in the form's non-client area, in place of the system caption, so
// the client area keeps its designed size. It draws its items (text, and image buttons with
// their hints as tooltips) and the window's minimise, maximise and close buttons; the rest
// of the strip drags the window and opens its system menu, as a caption does.
#include <windows.h>

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "platform/error.h"
#include "platform/win32/wide.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/win32/controls_win32.h"
#include "ui/win32/form_win32.h"
#include "ui/win32/win32_ui.h"

namespace kelvra::ui::win32 {
namespace {

using platform::win32::Widen;

constexpr COLORREF kStripColour = RGB(36, 94, 168);
constexpr COLORREF kPressedColour = RGB(22, 64, 120);
constexpr COLORREF kInk = RGB(255, 255, 255);
constexpr COLORREF kDisabledInk = RGB(130, 160, 200);
constexpr int kMargin = 4;
constexpr int kSystemButtonWidth = 28;

enum class Glyph { Back, Forward, Refresh, Settings, Minimize, Maximize, Restore, Close };

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
        case Glyph::Minimize:
            MoveToEx(dc, cx - 5, cy + 4, nullptr);
            LineTo(dc, cx + 6, cy + 4);
            break;
        case Glyph::Maximize:
        case Glyph::Restore:
            SelectObject(dc, GetStockObject(NULL_BRUSH));
            if (glyph == Glyph::Restore) {
                Rectangle(dc, cx - 5, cy - 2, cx + 4, cy + 6);
                MoveToEx(dc, cx - 2, cy - 5, nullptr);
                LineTo(dc, cx + 6, cy - 5);
                LineTo(dc, cx + 6, cy + 3);
            } else {
                Rectangle(dc, cx - 5, cy - 5, cx + 6, cy + 6);
            }
            break;
        case Glyph::Close:
            MoveToEx(dc, cx - 5, cy - 5, nullptr);
            LineTo(dc, cx + 5, cy + 5);
            MoveToEx(dc, cx + 5, cy - 5, nullptr);
            LineTo(dc, cx - 5, cy + 5);
            break;
    }
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(pen);
    DeleteObject(brush);
}

// The window's own buttons at the strip's right end, as the caption had them.
struct SystemButton {
    LRESULT hit;  // HTMINBUTTON, HTMAXBUTTON or HTCLOSE
    RECT rect;    // strip coordinates
};

class TitleBarPeer final : public Win32ControlPeer, public NonClientStrip {
  public:
    TitleBarPeer(Win32Ui& ui, TitleBar& bar) : Win32ControlPeer(ui, bar), bar_(bar) {
        form_ = dynamic_cast<Win32Form*>(&bar.form().native());
        if (form_ == nullptr)
            throw Error("A control needs a form of the same backend");
        form_->AddPeer(this);
        items_.resize(bar_.ItemCount());
        tips_.resize(bar_.ItemCount());
        tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                   WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, FormHwnd(), nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        form_->SetStrip(this);
    }

    ~TitleBarPeer() override {
        if (tooltip_ != nullptr && IsWindow(tooltip_))
            DestroyWindow(tooltip_);
        if (form_->Strip() == this)
            form_->SetStrip(nullptr);
    }

    void Sync() override {
        LayoutItems();
        for (std::size_t i = 0; i < items_.size(); ++i)
            UpdateTip(i);
        Paint();
    }

    int Height() const override { return kTitleStripHeight; }

    std::optional<RECT> ItemRect(std::size_t index) const override {
        if (index >= items_.size() || !bar_.Item(index).visible)
            return std::nullopt;
        return ToClient(items_[index]);
    }

    bool Handle(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override {
        HWND hwnd = FormHwnd();
        if (tooltip_ != nullptr && msg >= WM_MOUSEFIRST && msg <= WM_MOUSELAST) {
            // The tooltip watches the strip's buttons through the form's mouse messages.
            MSG relayed{hwnd, msg, wp, lp, static_cast<DWORD>(GetMessageTime()), {}};
            SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
        }
        switch (msg) {
            case WM_NCPAINT:
                result = DefWindowProcW(hwnd, msg, wp, lp);
                Paint();
                return true;
            case WM_NCACTIVATE:
            case WM_SETTEXT:
            case WM_SETICON:
                // The system draws its caption for these: the strip goes back over it.
                result = DefWindowProcW(hwnd, msg, wp, lp);
                Paint();
                return true;
            case WM_NCHITTEST: {
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                if (!ToStrip(p, true))
                    return false;
                result = HitTest(p);
                return true;
            }
            case WM_NCLBUTTONDOWN:
            case WM_NCLBUTTONDBLCLK:
                if (wp != HTMINBUTTON && wp != HTMAXBUTTON && wp != HTCLOSE)
                    return false;
                Press(Pressed{static_cast<LRESULT>(wp), 0});
                result = 0;
                return true;
            case WM_NCLBUTTONUP:
                // A click on a system button ends in our own capture, never here; the system
                // must not act on it either.
                if (wp != HTMINBUTTON && wp != HTMAXBUTTON && wp != HTCLOSE)
                    return false;
                result = 0;
                return true;
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK: {
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                if (!ToStrip(p, false))
                    return false;
                const std::optional<std::size_t> item = ButtonAt(p);
                if (!item)
                    return false;
                Press(Pressed{HTCLIENT, *item});
                result = 0;
                return true;
            }
            case WM_MOUSEMOVE: {
                if (!pressed_)
                    return false;
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                const bool inside = ToStrip(p, false) && Under(p, *pressed_);
                if (inside != pressed_inside_) {
                    pressed_inside_ = inside;
                    Paint();
                }
                result = 0;
                return true;
            }
            case WM_LBUTTONUP: {
                if (!pressed_)
                    return false;
                POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
                const Pressed was = *pressed_;
                const bool inside = ToStrip(p, false) && Under(p, was);
                ReleaseCapture();
                EndPress();
                if (inside)
                    Activate(was);
                result = 0;
                return true;
            }
            case WM_CAPTURECHANGED:
                if (pressed_)
                    EndPress();
                return false;
            default:
                return false;
        }
    }

  private:
    // What the left button went down on: a system button (its hit code) or an item.
    struct Pressed {
        LRESULT hit;
        std::size_t item;
    };

    HWND FormHwnd() const { return static_cast<HWND>(form_->Handle()); }

    // The strip's place in window coordinates: across the client area's width, right above it.
    RECT StripRect() const {
        HWND hwnd = FormHwnd();
        RECT window{};
        GetWindowRect(hwnd, &window);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        RECT client{};
        GetClientRect(hwnd, &client);
        const int left = origin.x - window.left;
        const int top = origin.y - window.top - kTitleStripHeight;
        return RECT{left, top, left + client.right, top + kTitleStripHeight};
    }

    // A point into strip coordinates, from screen or client coordinates; false outside.
    bool ToStrip(POINT& p, bool from_screen) const {
        HWND hwnd = FormHwnd();
        if (IsIconic(hwnd))
            return false;
        if (from_screen)
            ScreenToClient(hwnd, &p);
        p.y += kTitleStripHeight;
        RECT client{};
        GetClientRect(hwnd, &client);
        return p.x >= 0 && p.x < client.right && p.y >= 0 && p.y < kTitleStripHeight;
    }

    static RECT ToClient(RECT r) {
        OffsetRect(&r, 0, -kTitleStripHeight);
        return r;
    }

    std::vector<SystemButton> SystemButtons() const {
        HWND hwnd = FormHwnd();
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        RECT client{};
        GetClientRect(hwnd, &client);
        std::vector<SystemButton> out;
        int right = client.right;
        auto add = [&](LRESULT hit) {
            out.push_back({hit, RECT{right - kSystemButtonWidth, 0, right, kTitleStripHeight}});
            right -= kSystemButtonWidth;
        };
        if (style & WS_SYSMENU)
            add(HTCLOSE);
        if (style & WS_MAXIMIZEBOX)
            add(HTMAXBUTTON);
        if (style & WS_MINIMIZEBOX)
            add(HTMINBUTTON);
        return out;
    }

    int ItemWidth(std::size_t i, HDC dc) const {
        const TitleBarItem& item = bar_.Item(i);
        if (item.style == TitleBarItemStyle::Button)
            return std::max(item.width + 6, item.height);
        // Information items grow to their text, beyond their design width.
        const std::wstring text = Widen(item.caption);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return std::max(item.width, static_cast<int>(size.cx) + 8);
    }

    void LayoutItems() {
        HWND hwnd = FormHwnd();
        const std::vector<SystemButton> system = SystemButtons();
        RECT client{};
        GetClientRect(hwnd, &client);
        int left = kMargin;
        int right = (system.empty() ? client.right : system.back().rect.left) - kMargin;
        HDC dc = GetDC(hwnd);
        HGDIOBJ old = SelectObject(dc, ui_.Font());
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            if (!item.visible) {
                items_[i] = RECT{};
                continue;
            }
            const int h = std::min<int>(item.height > 0 ? item.height : 22, kTitleStripHeight);
            const int top = (kTitleStripHeight - h) / 2;
            int w = ItemWidth(i, dc);
            int x = 0;
            if (item.align_right) {
                x = right - w;
                right = x - 2;
            } else {
                w = std::max(0, std::min(w, right - left));
                x = left;
                left += w + 2;
            }
            items_[i] = RECT{x, top, x + w, top + h};
        }
        SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
    }

    std::optional<std::size_t> ButtonAt(POINT p) const {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            if (item.visible && item.style == TitleBarItemStyle::Button && PtInRect(&items_[i], p))
                return i;
        }
        return std::nullopt;
    }

    LRESULT HitTest(POINT p) const {
        for (const SystemButton& b : SystemButtons())
            if (PtInRect(&b.rect, p))
                return b.hit;
        // Buttons take the mouse as the client area does; the rest is caption.
        return ButtonAt(p) ? HTCLIENT : HTCAPTION;
    }

    bool Under(POINT p, const Pressed& pressed) const {
        if (pressed.hit != HTCLIENT)
            return HitTest(p) == pressed.hit;
        const std::optional<std::size_t> item = ButtonAt(p);
        return item && *item == pressed.item;
    }

    void Press(const Pressed& pressed) {
        pressed_ = pressed;
        pressed_inside_ = true;
        SetCapture(FormHwnd());
        Paint();
    }

    void EndPress() {
        pressed_.reset();
        pressed_inside_ = false;
        Paint();
    }

    void Activate(const Pressed& pressed) {
        HWND hwnd = FormHwnd();
        switch (pressed.hit) {
            case HTCLOSE:
                SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
                break;
            case HTMINBUTTON:
                SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                break;
            case HTMAXBUTTON:
                SendMessageW(hwnd, WM_SYSCOMMAND, IsZoomed(hwnd) ? SC_RESTORE : SC_MAXIMIZE, 0);
                break;
            default:
                bar_.ClickItem(pressed.item);
                break;
        }
    }

    bool ShowsPressed(LRESULT hit, std::size_t item) const {
        return pressed_ && pressed_inside_ && pressed_->hit == hit &&
               (hit != HTCLIENT || pressed_->item == item);
    }

    void Draw(HDC dc, const RECT& area) const {
        HBRUSH background = CreateSolidBrush(kStripColour);
        HBRUSH pressed = CreateSolidBrush(kPressedColour);
        FillRect(dc, &area, background);
        HGDIOBJ old_font = SelectObject(dc, ui_.Font());
        SetBkMode(dc, TRANSPARENT);
        for (std::size_t i = 0; i < items_.size(); ++i) {
            const TitleBarItem& item = bar_.Item(i);
            if (!item.visible)
                continue;
            RECT r = items_[i];
            if (item.style == TitleBarItemStyle::Button) {
                if (ShowsPressed(HTCLIENT, i))
                    FillRect(dc, &r, pressed);
                DrawGlyph(dc, r, GlyphOf(item), item.enabled ? kInk : kDisabledInk);
            } else {
                const std::wstring text = Widen(item.caption);
                SetTextColor(dc, item.enabled ? kInk : kDisabledInk);
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                          DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
            }
        }
        const bool zoomed = IsZoomed(FormHwnd()) != FALSE;
        for (const SystemButton& b : SystemButtons()) {
            if (ShowsPressed(b.hit, 0))
                FillRect(dc, &b.rect, pressed);
            const Glyph glyph = b.hit == HTCLOSE       ? Glyph::Close
                                : b.hit == HTMINBUTTON ? Glyph::Minimize
                                : zoomed               ? Glyph::Restore
                                                       : Glyph::Maximize;
            DrawGlyph(dc, b.rect, glyph, kInk);
        }
        SelectObject(dc, old_font);
        DeleteObject(pressed);
        DeleteObject(background);
    }

    // Draws the strip over whatever the system drew in the caption's place.
    void Paint() const {
        HWND hwnd = FormHwnd();
        if (hwnd == nullptr || !IsWindowVisible(hwnd) || IsIconic(hwnd))
            return;
        const RECT strip = StripRect();
        const int w = strip.right - strip.left;
        const int h = strip.bottom - strip.top;
        if (w <= 0 || h <= 0)
            return;
        HDC window_dc = GetWindowDC(hwnd);
        HDC dc = CreateCompatibleDC(window_dc);
        HBITMAP bitmap = CreateCompatibleBitmap(window_dc, w, h);
        HGDIOBJ old = SelectObject(dc, bitmap);
        Draw(dc, RECT{0, 0, w, h});
        BitBlt(window_dc, strip.left, strip.top, w, h, dc, 0, 0, SRCCOPY);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(hwnd, window_dc);
    }

    // The hint of a button that shows it, as a tooltip over the button's place.
    void UpdateTip(std::size_t i) {
        const TitleBarItem& item = bar_.Item(i);
        const std::wstring want =
            item.show_hint && item.visible ? Widen(item.hint) : std::wstring();
        if (tooltip_ == nullptr)
            return;
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.uFlags = 0;
        ti.hwnd = FormHwnd();
        ti.uId = i;
        ti.rect = ToClient(items_[i]);
        if (want != tips_[i]) {
            if (!tips_[i].empty())
                SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
            tips_[i] = want;
            if (!want.empty()) {
                ti.lpszText = tips_[i].data();
                SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
            }
        } else if (!want.empty()) {
            SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&ti));
        }
    }

    TitleBar& bar_;
    Win32Form* form_ = nullptr;
    HWND tooltip_ = nullptr;
    std::vector<RECT> items_;  // strip coordinates; empty while hidden
    std::vector<std::wstring> tips_;
    std::optional<Pressed> pressed_;
    bool pressed_inside_ = false;
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

std::optional<RECT> TitleItemRect(HWND form, std::size_t index) {
    Win32Form* f = Win32Form::FromHandle(form);
    if (f == nullptr || f->Strip() == nullptr)
        return std::nullopt;
    return f->Strip()->ItemRect(index);
}

}  // namespace kelvra::ui::win32
