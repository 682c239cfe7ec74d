#include <gtest/gtest.h>

#include "client_fixture.h"
#include "windows/frm_sysset.h"

namespace kelvra::test {
namespace {

// A login window (no main window needed) on web root "run.test"; the dialog is driven
// from a queued task while it runs modally from the title bar's settings item.
struct DialogRun {
    ClientFixture f;
    windows::TFrmLogin* login = nullptr;
    DialogRun() {
        windows::SetUpApplication(f.app);
        f.state.WebRoot = "run.test";
        login = &f.app.CreateForm<windows::TFrmLogin>(f.context);
    }
    void Open(std::function<void(windows::TFrmsysSet&)> act) {
        f.ui.Post([this, act] { act(*f.state.FrmsysSet); });
        login->TitleBar1.ClickItem(1);
    }
    std::string LastNavigation() { return f.Browser("TFrmLogin").pending(); }
};

TEST(SettingsDialog, DefinitionAndControls) {
    DialogRun r;
    r.Open([&](windows::TFrmsysSet& d) {
        EXPECT_EQ(d.Caption(), "系统设置");
        EXPECT_EQ(d.ClientWidth(), 464);
        EXPECT_EQ(d.ClientHeight(), 153);
        EXPECT_TRUE(d.Modal());
        EXPECT_EQ(d.GroupBox1.Caption(), "云平台地址");
        EXPECT_EQ(d.Label1.Caption(), "网站地址：");
        EXPECT_EQ(d.btn_save.Caption(), "保存");
        EXPECT_TRUE(d.btn_save.IsDefault());
        EXPECT_EQ(d.btn_cancel.Caption(), "取消");
        EXPECT_EQ(d.edt_webroot.TabOrder(), 0);
        EXPECT_EQ(d.btn_save.TabOrder(), 1);
        EXPECT_EQ(d.btn_cancel.TabOrder(), 2);
        d.btn_cancelClick();
    });
    EXPECT_EQ(r.f.ui.stalls(), 0);
}

TEST(SettingsDialog, FieldFromTheFile) {
    struct Case {
        const char* name;
        std::optional<std::string> file;
        std::string expected;
    } cases[] = {
        {"no file: empty although the client runs on the default", std::nullopt, ""},
        {"no key: the fallback web root", "[SYSTEM]\r\nother=1\r\n", kFallbackRoot},
        {"empty value", "[SYSTEM]\r\nwebroot=\r\n", ""},
        {"a value", "[SYSTEM]\r\nwebroot=a.test:81/x\r\n", "a.test:81/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogRun r;
        if (c.file)
            r.f.WriteSettings(*c.file);
        std::string field = "unset";
        r.Open([&](windows::TFrmsysSet& d) {
            field = d.edt_webroot.Text();
            d.btn_cancel.Click();
        });
        EXPECT_EQ(field, c.expected);
        EXPECT_EQ(r.f.state.WebRoot, "run.test");
        EXPECT_EQ(r.LastNavigation(), "http://run.test/site/login");
    }
}

TEST(SettingsDialog, SaveWritesTheFileAndTheWebRoot) {
    struct Case {
        const char* name;
        bool folder_exists;
        std::string typed;
    } cases[] = {
        {"folder present", true, "new.test:8080"},
        {"folder missing is created", false, "new.test"},
        {"empty text is saved as typed", true, ""},
        {"scheme kept as typed", true, " http://s.test "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogRun r;
        if (c.folder_exists)
            r.f.WriteSettings("; comment\r\n[SYSTEM]\r\nwebroot=old.test\r\n[OTHER]\r\nk=v\r\n");
        bool visible_after = true;
        r.Open([&](windows::TFrmsysSet& d) {
            d.edt_webroot.SetText(c.typed);
            d.PressDefaultButton();  // Enter presses "保存"
            visible_after = d.CurrentModalResult() == ui::ModalResult::None;
        });
        EXPECT_FALSE(visible_after) << "a successful save closes the dialog";
        EXPECT_TRUE(r.f.boxes.shown.empty());
        EXPECT_EQ(r.f.state.WebRoot, c.typed);
        EXPECT_EQ(r.LastNavigation(), "http://" + c.typed + "/site/login");
        const std::string bytes = ReadBytes(r.f.SettingsFile());
        EXPECT_NE(bytes.find("webroot=" + c.typed + "\r\n"), std::string::npos) << bytes;
        if (c.folder_exists) {
            EXPECT_EQ(bytes.find("comment"), std::string::npos);
            EXPECT_LT(bytes.find("[SYSTEM]"), bytes.find("[OTHER]"));
        }
    }
}

TEST(SettingsDialog, SaveWithTheParentFolderMissingShowsTheErrorAndStaysOpen) {
    DialogRun r;
    ScopedEnv missing("APPDATA", r.f.appdata.File("gone"));
    bool open_after_save = false;
    r.Open([&](windows::TFrmsysSet& d) {
        d.edt_webroot.SetText("new.test");
        d.btn_save.Click();
        open_after_save = d.CurrentModalResult() == ui::ModalResult::None;
        d.btn_cancel.Click();
    });
    EXPECT_TRUE(open_after_save);
    ASSERT_EQ(r.f.boxes.shown.size(), 1u);
    EXPECT_EQ(r.f.boxes.shown[0].caption, "Kelvra教学云客户端");
    EXPECT_EQ(r.f.boxes.shown[0].icon, ui::MsgIcon::Error);
    EXPECT_EQ(r.f.state.WebRoot, "run.test");
    EXPECT_FALSE(PathExists(r.f.appdata.File("gone")));
    EXPECT_EQ(r.LastNavigation(), "http://run.test/site/login");
}

TEST(SettingsDialog, CancelOrCloseChangesNothingAndTheLoginPageReloads) {
    for (bool use_close : {false, true}) {
        SCOPED_TRACE(use_close ? "close button" : "cancel");
        DialogRun r;
        const std::string original = "[SYSTEM]\r\nwebroot=keep.test\r\n";
        r.f.WriteSettings(original);
        const std::size_t navigations = r.f.Browser("TFrmLogin").navigations().size();
        r.Open([&](windows::TFrmsysSet& d) {
            d.edt_webroot.SetText("changed.test");
            if (use_close)
                d.Close();
            else
                d.btn_cancel.Click();
        });
        EXPECT_EQ(ReadBytes(r.f.SettingsFile()), original);
        EXPECT_EQ(r.f.state.WebRoot, "run.test");
        EXPECT_EQ(r.f.Browser("TFrmLogin").navigations().size(), navigations + 1);
        EXPECT_EQ(r.LastNavigation(), "http://run.test/site/login");
        EXPECT_TRUE(r.f.app.Owns(r.f.state.FrmsysSet)) << "hidden, not destroyed";
        EXPECT_FALSE(r.f.state.FrmsysSet->Visible());
    }
}

}  // namespace
}  // namespace kelvra::test
