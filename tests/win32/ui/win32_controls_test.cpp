// The memo, radio buttons, progress bar, animation and password fields on real Win32 controls: what
// the user sees and does, read back through the controls' own messages.
#include <gtest/gtest.h>

#include "win32_client.h"

#include <richedit.h>

#include <string>
#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "update/login_prompt.h"

namespace kelvra::test {
namespace {

ui::FormDefinition Dialog() {
    ui::FormDefinition d;
    d.class_name = "TControlsDialog";
    d.caption = "Controls";
    d.border = ui::BorderStyle::Dialog;
    d.client_width = 392;
    d.client_height = 371;
    d.position = ui::FormPosition::Designed;
    return d;
}

// The licence dialog's controls, plus a second radio group inside a group box that is made
// before them, so that the two groups' buttons are made one after the other.
class ControlsForm final : public ui::Form {
  public:
    explicit ControlsForm(ui::Application& app)
        : ui::Form(app, Dialog()),
          memo(*this, nullptr, "memo"),
          box(*this, nullptr, "box"),
          accept(*this, nullptr, "accept"),
          notaccept(*this, nullptr, "notaccept"),
          left(*this, &box, "left"),
          right(*this, &box, "right"),
          progress(*this, nullptr, "progress"),
          password(*this, nullptr, "password"),
          ok(*this, nullptr, "okbtn") {
        memo.SetBounds({10, 10, 200, 120});
        accept.SetBounds({10, 140, 120, 20});
        accept.SetCaption("I accept");
        notaccept.SetBounds({150, 140, 140, 20});
        notaccept.SetCaption("I do not accept");
        box.SetBounds({10, 170, 300, 60});
        left.SetBounds({10, 20, 100, 20});
        left.SetCaption("Left");
        right.SetBounds({120, 20, 100, 20});
        right.SetCaption("Right");
        progress.SetBounds({10, 240, 280, 16});
        password.SetBounds({10, 270, 193, 21});
        ok.SetBounds({300, 330, 75, 25});
        ok.SetCaption("OK");
    }
    ui::Memo memo;
    ui::GroupBox box;
    ui::RadioButton accept;
    ui::RadioButton notaccept;
    ui::RadioButton left;
    ui::RadioButton right;
    ui::ProgressBar progress;
    ui::Edit password;
    ui::Button ok;
};

bool SameClass(HWND hwnd, const wchar_t* window_class) {
    return lstrcmpiW(ClassOf(hwnd).c_str(), window_class) == 0;
}

// The child window at a place of the client area.
HWND ChildAt(HWND parent, int x, int y) {
    return ChildWindowFromPointEx(parent, POINT{x + 1, y + 1}, CWP_SKIPINVISIBLE);
}

std::wstring Text(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()))));
    return text;
}

LONG_PTR Style(HWND hwnd) {
    return GetWindowLongPtrW(hwnd, GWL_STYLE);
}

void Type(HWND hwnd, const std::wstring& keys) {
    for (wchar_t k : keys)
        SendMessageW(hwnd, WM_CHAR, k, 1);
}

struct NativeControls : ::testing::Test {
    Win32Client c;
    ControlsForm& form = c.app.CreateForm<ControlsForm>();
    HWND dialog = Hwnd(form);
    HWND memo = ChildAt(dialog, 10, 10);
    HWND accept = FindChild(dialog, L"Button", L"I accept");
    HWND notaccept = FindChild(dialog, L"Button", L"I do not accept");
    HWND left = FindChild(dialog, L"Button", L"Left");
    HWND right = FindChild(dialog, L"Button", L"Right");
    HWND progress = ChildAt(dialog, 10, 240);
    HWND password = ChildAt(dialog, 10, 270);

    void SetUp() override {
        form.Show();
        for (HWND h : {memo, accept, notaccept, left, right, progress, password})
            ASSERT_TRUE(h != nullptr && h != dialog) << "every control is a child window";
    }
};

TEST_F(NativeControls, MemoIsAReadOnlyWrappingRichEditBox) {
    EXPECT_TRUE(SameClass(memo, MSFTEDIT_CLASS) || SameClass(memo, RICHEDIT_CLASSW))
        << platform::win32::Narrow(ClassOf(memo));
    const LONG_PTR style = Style(memo);
    EXPECT_NE(style & ES_MULTILINE, 0);
    EXPECT_NE(style & ES_READONLY, 0);
    EXPECT_NE(style & WS_VSCROLL, 0);
    EXPECT_EQ(style & (WS_HSCROLL | ES_AUTOHSCROLL), 0) << "lines wrap instead";

    form.memo.SetText("First line of the notes\nsecond line");
    EXPECT_EQ(Text(memo), L"First line of the notes\r\nsecond line");

    // One long paragraph wraps into several lines of the 200-pixel box.
    std::string paragraph;
    for (int i = 0; i < 30; ++i)
        paragraph += "word" + std::to_string(i) + " ";
    form.memo.SetText(paragraph);
    EXPECT_GT(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(Text(memo), platform::win32::Widen(paragraph));

    // Text that looks like rich text but is not marked so is shown as it is.
    form.memo.SetText("{\\rtf1 literal}", false);
    EXPECT_EQ(Text(memo), L"{\\rtf1 literal}");
}

TEST_F(NativeControls, RichTextIsShownFormatted) {
    form.memo.SetText(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
        "\\f0\\fs20 Version \\b bold\\b0  text\\par Caf\\'e9}",
        true);
    const std::wstring shown = Text(memo);
    EXPECT_EQ(shown.substr(0, 22), L"Version bold text\r\nCaf") << platform::win32::Narrow(shown);
    EXPECT_NE(shown.find(L"Caf\u00E9"), std::wstring::npos);
    EXPECT_EQ(shown.find(L"rtf"), std::wstring::npos) << "no markup is shown";
    EXPECT_EQ(shown.find(L"Arial"), std::wstring::npos);

    // "bold" (characters 8 to 12) carries the bold effect; "Version" does not.
    auto bold = [&](int from, int to) {
        SendMessageW(memo, EM_SETSEL, from, to);
        CHARFORMAT2W format{};
        format.cbSize = sizeof format;
        SendMessageW(memo, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
        return (format.dwMask & CFM_BOLD) != 0 && (format.dwEffects & CFE_BOLD) != 0;
    };
    EXPECT_TRUE(bold(8, 12));
    EXPECT_FALSE(bold(0, 7));
}

TEST_F(NativeControls, TypingDoesNotChangeTheMemo) {
    form.memo.SetText("Terms");
    SetFocus(memo);
    Type(memo, L"x\b");
    SendMessageW(memo, EM_SETSEL, 0, -1);  // typing over a selection replaces it when writable
    Type(memo, L"y");
    SendMessageW(memo, WM_KEYDOWN, VK_DELETE, 0);
    SendMessageW(memo, WM_KEYUP, VK_DELETE, 0);
    SendMessageW(memo, WM_CUT, 0, 0);
    EXPECT_EQ(Text(memo), L"Terms");
    EXPECT_EQ(form.memo.Text(), "Terms");
}

TEST_F(NativeControls, ClickedRadioButtonUnchecksOnlyItsOwnGroup) {
    for (HWND h : {accept, notaccept, left, right}) {
        EXPECT_TRUE(SameClass(h, L"Button"));
        EXPECT_EQ(Style(h) & BS_TYPEMASK, BS_AUTORADIOBUTTON);
        EXPECT_EQ(SendMessageW(h, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    EXPECT_EQ(WindowText(accept), L"I accept");
    form.notaccept.SetChecked(true);
    form.right.SetChecked(true);
    EXPECT_EQ(SendMessageW(notaccept, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(right, BM_GETCHECK, 0, 0), BST_CHECKED);

    SendMessageW(accept, BM_CLICK, 0, 0);
    EXPECT_TRUE(form.accept.Checked());
    EXPECT_FALSE(form.notaccept.Checked());
    EXPECT_TRUE(form.right.Checked()) << "the group box's buttons are a group of their own";

    SendMessageW(left, BM_CLICK, 0, 0);
    EXPECT_TRUE(form.left.Checked());
    EXPECT_FALSE(form.right.Checked());
    EXPECT_TRUE(form.accept.Checked()) << "the other group keeps its choice";

    // A later layout of the form does not undo the user's choice.
    form.accept.SetBounds({10, 140, 130, 20});
    EXPECT_TRUE(form.accept.Checked());
    EXPECT_EQ(SendMessageW(accept, BM_GETCHECK, 0, 0), BST_CHECKED);

    form.accept.SetChecked(false);
    EXPECT_FALSE(form.accept.Checked());
    EXPECT_FALSE(form.notaccept.Checked());
    SendMessageW(notaccept, BM_CLICK, 0, 0);
    EXPECT_TRUE(form.notaccept.Checked());
    form.Hide();
    EXPECT_TRUE(form.notaccept.Checked()) << "the choice is readable after the dialog closes";
    EXPECT_FALSE(form.accept.Checked());
}

TEST_F(NativeControls, ProgressBarPositionFollowsRangeAndClamps) {
    EXPECT_TRUE(SameClass(progress, PROGRESS_CLASSW));
    struct Step {
        int min, max, position;
        int want;
    };
    const Step steps[] = {{0, 200, 50, 50},  {0, 200, 500, 200}, {0, 200, -5, 0},
                          {-100, 100, 7, 7}, {10, 10, 99, 10},   {0, 100000, 99999, 99999},
                          {5, 1, 3, 5}};
    for (const Step& s : steps) {
        SCOPED_TRACE(testing::Message() << s.min << ".." << s.max << " at " << s.position);
        form.progress.SetRange(s.min, s.max);
        form.progress.SetPosition(s.position);
        EXPECT_EQ(form.progress.Position(), s.want);
        EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), s.want);
        PBRANGE range{};
        SendMessageW(progress, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
        EXPECT_EQ(range.iLow, form.progress.Min());
        EXPECT_EQ(range.iHigh, form.progress.Max());
    }
}

// The ACN_START / ACN_STOP notifications an animation control posts to its parent.
struct ClipNotifications {
    HWND clip = nullptr;
    std::vector<WORD> codes;
};

LRESULT CALLBACK RecordClipNotifications(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam,
                                         UINT_PTR, DWORD_PTR data) {
    auto* seen = reinterpret_cast<ClipNotifications*>(data);
    if (message == WM_COMMAND && reinterpret_cast<HWND>(lparam) == seen->clip)
        seen->codes.push_back(HIWORD(wparam));
    return DefSubclassProc(hwnd, message, wparam, lparam);
}

TEST_F(NativeControls, AnimationPlaysTheFileCopyClipWhileActive) {
    ui::Animation animation(form, nullptr, "animation");
    animation.SetBounds({220, 10, 160, 60});
    HWND clip = ChildAt(dialog, 220, 10);
    ASSERT_TRUE(clip != nullptr && clip != dialog);
    EXPECT_TRUE(SameClass(clip, L"SysAnimate32")) << platform::win32::Narrow(ClassOf(clip));
    EXPECT_NE(Style(clip) & ACS_CENTER, 0) << "the clip keeps the designed size";
    EXPECT_NE(Style(clip) & ACS_TRANSPARENT, 0);
    RECT r{};
    GetWindowRect(clip, &r);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 220);
    EXPECT_EQ(r.top, 10);
    EXPECT_EQ(r.right - r.left, 160);
    EXPECT_EQ(r.bottom - r.top, 60);

    // Wine answers ACM_ISPLAYING with 0 always; the control's start and stop notifications
    // show the playing state instead. A control without an opened clip never starts, so
    // ACN_START also shows that the file-copy clip was found.
    ClipNotifications seen{clip, {}};
    ASSERT_TRUE(
        SetWindowSubclass(dialog, RecordClipNotifications, 1, reinterpret_cast<DWORD_PTR>(&seen)));
    const auto notified = [&] {
        c.ui.ProcessPendingMessages();
        std::vector<WORD> codes;
        codes.swap(seen.codes);
        return codes;
    };
    EXPECT_FALSE(animation.Active());
    EXPECT_EQ(notified(), std::vector<WORD>{}) << "made stopped";
    animation.SetActive(true);
    EXPECT_EQ(notified(), std::vector<WORD>{ACN_START});
    animation.SetBounds({220, 20, 160, 60});
    EXPECT_EQ(notified(), std::vector<WORD>{}) << "moving neither stops nor restarts it";
    animation.SetActive(false);
    EXPECT_EQ(notified(), std::vector<WORD>{ACN_STOP});
    animation.SetActive(true);
    EXPECT_EQ(notified(), std::vector<WORD>{ACN_START}) << "starts again";
    RemoveWindowSubclass(dialog, RecordClipNotifications, 1);
}

TEST_F(NativeControls, PasswordFieldHidesTypedTextButKeepsIt) {
    EXPECT_EQ(Style(password) & ES_PASSWORD, 0);
    form.password.SetPasswordChar('*');
    EXPECT_NE(Style(password) & ES_PASSWORD, 0);
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), L'*');
    Type(password, L"s3cr\u00E9t");
    EXPECT_EQ(form.password.Text(), "s3cr\u00E9t");
    form.password.SetPasswordChar(0);
    EXPECT_EQ(Style(password) & ES_PASSWORD, 0);
    EXPECT_EQ(form.password.Text(), "s3cr\u00E9t") << "the typed text survives the change";
}

TEST(SignInPrompt, PasswordFieldIsMasked) {
    Win32Client c;
    auto& prompt = c.app.CreateForm<update::TLoginPromptForm>();
    prompt.Show();
    HWND user = ChildAt(Hwnd(prompt), 104, 80);
    HWND password = ChildAt(Hwnd(prompt), 104, 112);
    ASSERT_TRUE(SameClass(user, L"Edit"));
    ASSERT_TRUE(SameClass(password, L"Edit"));
    EXPECT_EQ(Style(user) & ES_PASSWORD, 0);
    EXPECT_NE(Style(password) & ES_PASSWORD, 0);
    Type(password, L"pa55");
    EXPECT_EQ(prompt.Edit2().Text(), "pa55");
    c.app.ReleaseForm(&prompt);
}

}  // namespace
}  // namespace kelvra::test
