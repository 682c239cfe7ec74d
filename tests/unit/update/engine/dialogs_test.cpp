// The procedure's windows on the headless backend: the release-notes and licence dialogs
// and the progress window, with their geometry, texts and answers.
#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "headless_ui.h"
#include "ui/controls.h"
#include "update/progress_form.h"
#include "update/update_dialogs.h"

namespace kelvra::test {
namespace {

using update::EULATexts;
using update::WhatsNewTexts;

struct Gui {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    ui::Application app{ui, boxes};
};

bool SameRect(const ui::Rect& a, const ui::Rect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

TEST(UpdateDialogs, RichTextIsRecognisedByItsFirstFiveBytes) {
    struct Case {
        const char* text;
        bool rich;
    } cases[] = {{"{\\rtf1 x}", true}, {"{\\RtF", true},  {"{\\rt", false},
                 {" {\\rtf", false},   {"rtf{\\", false}, {"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(update::IsRichText(c.text), c.rich) << c.text;
}

TEST(UpdateDialogs, WhatsNewGeometryAndButtons) {
    Gui gui;
    WhatsNewTexts texts;
    texts.cancelbtn = "Later";
    auto& form = gui.app.CreateForm<update::TWhatsNewForm>("{\\rtf1 notes}", texts);
    EXPECT_EQ(form.Caption(), "What's new");
    EXPECT_EQ(form.Width(), 400);
    EXPECT_EQ(form.Height(), 400);
    EXPECT_EQ(form.definition().border, ui::BorderStyle::Dialog);
    EXPECT_TRUE(form.definition().icons.system_menu);
    EXPECT_FALSE(form.definition().icons.minimize || form.definition().icons.maximize);
    EXPECT_EQ(form.definition().position, ui::FormPosition::ScreenCenter);
    const int cw = form.ClientWidth(), ch = form.ClientHeight();
    EXPECT_TRUE(SameRect(form.Memo1().Bounds(), {10, 10, cw - 20, ch - 60}));
    EXPECT_TRUE(form.Memo1().Rich());
    EXPECT_EQ(form.Memo1().Text(), "{\\rtf1 notes}");
    const int top = 10 + ch - 60 + 10;
    const ui::Rect cancel = form.CancelButton().Bounds();
    const ui::Rect ok = form.OkButton().Bounds();
    EXPECT_EQ(cancel.left + cancel.width, 10 + cw - 20);  // right-aligned with the text box
    EXPECT_EQ(ok.left, cancel.left - 10 - ok.width);
    EXPECT_EQ(ok.top, top);
    EXPECT_EQ(cancel.top, top);
    EXPECT_EQ(form.OkButton().Caption(), "Ok");
    EXPECT_EQ(form.CancelButton().Caption(), "Later");
    EXPECT_LT(form.OkButton().TabOrder(), form.CancelButton().TabOrder());
}

TEST(UpdateDialogs, LicenceGeometryAndChoice) {
    Gui gui;
    EULATexts texts;
    texts.caption = "Terms";
    auto& form = gui.app.CreateForm<update::TEULAForm>("plain terms", texts);
    EXPECT_EQ(form.Caption(), "Terms");
    EXPECT_FALSE(form.Memo1().Rich());
    const int cw = form.ClientWidth(), ch = form.ClientHeight();
    const ui::Rect ok = form.OkButton().Bounds();
    EXPECT_EQ(ok.left + ok.width, cw - 10);
    EXPECT_EQ(ok.top, ch - 40);
    const ui::Rect accept = form.AcceptButton().Bounds();
    const ui::Rect notaccept = form.NotAcceptButton().Bounds();
    EXPECT_EQ(accept.left, 10);
    EXPECT_EQ(notaccept.left, accept.left + accept.width + 20);
    EXPECT_EQ(accept.top, ok.top);
    EXPECT_EQ(form.AcceptButton().Caption(), "I accept");
    EXPECT_EQ(form.NotAcceptButton().Caption(), "I do not accept");
    EXPECT_FALSE(form.AcceptButton().Checked());
    EXPECT_TRUE(form.NotAcceptButton().Checked());
    form.AcceptButton().Click();
    EXPECT_FALSE(form.NotAcceptButton().Checked());
}

TEST(UpdateDialogs, PlainTextIsShownDecodedFromItsBytes) {
    struct Case {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"plain notes", "plain notes"},
        {"\xEF\xBB\xBF\xE8\xAF\xBE\xE7\xA8\x8B", "\xE8\xAF\xBE\xE7\xA8\x8B"},
        {std::string("\xFF\xFE\xFE\x8B\x0B\x7A", 6), "\xE8\xAF\xBE\xE7\xA8\x8B"},
        {std::string("\xFE\xFF\x8B\xFE\x7A\x0B", 6), "\xE8\xAF\xBE\xE7\xA8\x8B"},
    };
    Gui gui;
    for (const Case& c : cases) {
        auto& notes = gui.app.CreateForm<update::TWhatsNewForm>(c.bytes, WhatsNewTexts{});
        EXPECT_FALSE(notes.Memo1().Rich());
        EXPECT_EQ(notes.Memo1().Text(), c.shown);
        auto& terms = gui.app.CreateForm<update::TEULAForm>(c.bytes, EULATexts{});
        EXPECT_EQ(terms.Memo1().Text(), c.shown);
    }
}

TEST(UpdateDialogs, ShownModallyWithoutScript) {
    ScopedEnv no_script("KELVRA_DIALOG_SCRIPT", std::nullopt);
    Gui gui;
    // The user checks "I accept" and closes the window without OK: accepted all the same.
    gui.ui.Post([&] {
        for (ui::Form* form : gui.app.Forms())
            if (auto* eula = dynamic_cast<update::TEULAForm*>(form)) {
                eula->AcceptButton().Click();
                eula->Close();
            }
    });
    EXPECT_TRUE(update::AskEULA(&gui.app, "terms", EULATexts{}));
    gui.ui.Post([&] {
        for (ui::Form* form : gui.app.Forms())
            if (auto* notes = dynamic_cast<update::TWhatsNewForm*>(form))
                notes->CancelButton().Click();
    });
    EXPECT_FALSE(update::AskWhatsNew(&gui.app, "notes", WhatsNewTexts{}));
    gui.ui.Post([&] {
        for (ui::Form* form : gui.app.Forms())
            if (auto* notes = dynamic_cast<update::TWhatsNewForm*>(form))
                notes->PressDefaultButton();
    });
    EXPECT_TRUE(update::AskWhatsNew(&gui.app, "notes", WhatsNewTexts{}));
    gui.ui.RunPending();
    EXPECT_TRUE(gui.app.Forms().empty());  // each dialog is released after its run
}

TEST_F(EngineTest, ProgressWindowFollowsTheDownload) {
    Gui gui;
    auto& form = gui.app.CreateForm<update::TProgressForm>();
    EXPECT_EQ(form.Caption(), "Downloading...");
    EXPECT_EQ(form.Width(), 300);
    EXPECT_EQ(form.Height(), 110);
    EXPECT_FALSE(form.definition().icons.system_menu);
    EXPECT_EQ(form.Label1().Bounds().left, 10);
    EXPECT_EQ(form.Label1().Bounds().top, 10);
    EXPECT_TRUE(SameRect(form.ProgressBar1().Bounds(), {10, 40, 300 - 2 - 20, 16}));
    form.ShowProgress(std::string("C:\\dir") + "/sub\\file.bin", 30, 120);
    EXPECT_EQ(form.Label1().Caption(), "Downloading: file.bin");
    EXPECT_EQ(form.ProgressBar1().Max(), 120);
    EXPECT_EQ(form.ProgressBar1().Position(), 30);
    form.ShowProgress("big.bin", 3'000'000'000LL, 6'000'000'000LL);  // beyond int
    EXPECT_EQ(form.ProgressBar1().Position() * 2, form.ProgressBar1().Max());

    // Through the engine: the window exists while files come and is freed afterwards.
    std::string body(10000, 'x');
    server_.Serve("/files/big.dat", Reply(200, body));
    const std::string target = work_.File("t");
    auto engine =
        MakeEngine(ServeControlFile("[update]\nunconditional=1\n[files]\ncount=1\n"
                                    "[file1]\nurl=" +
                                    server_.Url("/files/big.dat") + "\ntargetdir=" + target + "\n"),
                   &gui.app);
    engine->UpdateUpdate = update::TUpdatePrompting::upSilent;
    engine->ShowDownloadProgress = true;
    std::vector<std::string> labels;
    engine->OnFileProgress = [&](update::TUpdateEngine& e, const std::string& file,
                                 std::int64_t pos, std::int64_t size) {
        if (file.find("big.dat") == std::string::npos)
            return;  // the control file comes before the window exists
        ASSERT_NE(e.ProgressForm(), nullptr);
        EXPECT_TRUE(e.ProgressForm()->Visible());
        EXPECT_EQ(e.ProgressForm()->ProgressBar1().Position(), pos);
        EXPECT_EQ(e.ProgressForm()->ProgressBar1().Max(), size);
        labels.push_back(e.ProgressForm()->Label1().Caption());
    };
    engine->DoUpdate(false);
    ASSERT_FALSE(labels.empty());
    EXPECT_EQ(labels.back(), "Downloading: big.dat");
    EXPECT_EQ(engine->ProgressForm(), nullptr);
    EXPECT_EQ(ReadBytes(target + Separator() + "big.dat"), body);
}

}  // namespace
}  // namespace kelvra::test
