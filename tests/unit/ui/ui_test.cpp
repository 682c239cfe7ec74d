#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "headless_ui.h"
#include "platform/error.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace kelvra::ui {
namespace {

FormDefinition Def(const char* cls, BorderStyle border = BorderStyle::Sizeable,
                   FormPosition pos = FormPosition::Designed) {
    FormDefinition d;
    d.class_name = cls;
    d.caption = cls;
    d.border = border;
    d.client_width = 400;
    d.client_height = 300;
    d.position = pos;
    return d;
}

class Plain final : public Form {
  public:
    Plain(Application& app, const FormDefinition& d) : Form(app, d) {}
};

// A form whose creation handler fails half-way.
class Failing final : public Form {
  public:
    Failing(Application& app, bool* after) : Form(app, Def("TFailing")) {
        OnCreate = [after] {
            throw Error("Creation failed");
            *after = true;  // never reached
        };
    }
};

struct Fixture {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    Application app{ui, boxes};
};

TEST(Terminate, CheckFirstThenLoopsEndAndTheCallerRunsOn) {
    Fixture f;
    bool allow = false;
    f.app.SetTerminationCheck([&] { return allow; });
    f.app.Terminate();
    EXPECT_FALSE(f.app.Terminated()) << "a vetoed request has no effect";
    allow = true;
    auto& main = f.app.CreateForm<Plain>(Def("TMain"));
    auto& dialog = f.app.CreateForm<Plain>(Def("TDialog"));
    bool after_request = false;
    f.ui.Post([&] {
        f.app.Terminate();
        after_request = true;
    });
    bool ran_on = false;
    f.ui.Post([&] { ran_on = true; });
    EXPECT_EQ(dialog.ShowModal(), ModalResult::Cancel);
    EXPECT_TRUE(after_request);
    EXPECT_FALSE(ran_on) << "the modal run ended at its next turn";
    EXPECT_EQ(f.ui.Pending(), 1u);
    EXPECT_FALSE(dialog.Visible());
    f.app.Run();
    EXPECT_FALSE(main.Visible()) << "a request before the loop: no main window shown";
    EXPECT_TRUE(f.ui.LogLines("loop").empty());
}

TEST(Terminate, ClosingTheMainFormTerminatesOtherFormsOnlyHide) {
    Fixture f;
    auto& main = f.app.CreateForm<Plain>(Def("TMain"));
    auto& other = f.app.CreateForm<Plain>(Def("TOther"));
    EXPECT_EQ(f.app.MainForm(), &main);
    other.Show();
    other.Close();
    EXPECT_FALSE(other.Visible());
    EXPECT_FALSE(f.app.Terminated());
    main.Close();
    EXPECT_TRUE(f.app.Terminated());
}

TEST(HookSlot, LastInstallWinsNothingRestoresAndADestroyedOwnerEmptiesIt) {
    Fixture f;
    auto& a = f.app.CreateForm<Plain>(Def("TA"));
    auto& b = f.app.CreateForm<Plain>(Def("TB"));
    std::vector<std::string> calls;
    f.app.InstallMessageHook(&a, [&](const Message&, bool& handled) {
        calls.push_back("a");
        handled = true;
    });
    f.app.InstallMessageHook(&b, [&](const Message&, bool&) { calls.push_back("b"); });
    const Message m{nullptr, kWmKeyDown, 'A', 0};
    EXPECT_FALSE(f.app.RouteMessage(m));
    EXPECT_EQ(calls, std::vector<std::string>{"b"});
    f.app.ReleaseMessageHook(&a);  // not the occupant: nothing changes
    EXPECT_EQ(f.app.MessageHookOwner(), &b);
    f.app.DestroyForm(&b);
    EXPECT_EQ(f.app.MessageHookOwner(), nullptr) << "a's routine is not restored";
    EXPECT_FALSE(f.app.RouteMessage(m));
    EXPECT_EQ(calls.size(), 1u);
    f.app.InstallMessageHook(&a, [&](const Message&, bool& handled) { handled = true; });
    f.ui.PostMessage(f.app, m);
    f.ui.RunPending();
    EXPECT_TRUE(f.ui.LogLines("dispatch").empty()) << "a handled message is not dispatched";
}

TEST(HookSlot, AFailingRoutineIsShownAndTheMessagePassesOn) {
    Fixture f;
    auto& a = f.app.CreateForm<Plain>(Def("TA"));
    f.app.InstallMessageHook(&a, [](const Message&, bool&) { throw Error("Hook broke"); });
    EXPECT_FALSE(f.app.RouteMessage(Message{}));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "Hook broke.");
}

TEST(ErrorBox, EscapedHandlerErrorsAreShownAndTheProgramCarriesOn) {
    Fixture f;
    f.app.SetTitle("Kelvra教学云客户端");
    auto& form = f.app.CreateForm<Plain>(Def("TA"));
    Button button(form, nullptr, "btn");
    button.OnClick = [] { throw Error("Already ends in a full stop."); };
    button.Click();
    button.OnClick = [] { throw std::runtime_error("Plain"); };
    button.Click();
    ASSERT_EQ(f.boxes.shown.size(), 2u);
    EXPECT_EQ(f.boxes.shown[0].text, "Already ends in a full stop.");
    EXPECT_EQ(f.boxes.shown[1].text, "Plain.");
    for (const auto& box : f.boxes.shown) {
        EXPECT_EQ(box.caption, "Kelvra教学云客户端");
        EXPECT_EQ(box.icon, MsgIcon::Error);
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
    }
}

TEST(ErrorBox, CreationErrorSkipsTheRestAndTheFormIsStillCreated) {
    Fixture f;
    bool after = false;
    auto& form = f.app.CreateForm<Failing>(&after);
    EXPECT_FALSE(after);
    EXPECT_TRUE(f.app.Owns(&form));
    ASSERT_EQ(f.boxes.shown.size(), 1u);
    EXPECT_EQ(f.boxes.shown[0].text, "Creation failed.");
}

TEST(Forms, CreationOrderSizesCentringAndState) {
    Fixture f;
    auto& main =
        f.app.CreateForm<Plain>(Def("TMain", BorderStyle::Sizeable, FormPosition::ScreenCenter));
    auto& dialog =
        f.app.CreateForm<Plain>(Def("TDlg", BorderStyle::Dialog, FormPosition::MainFormCenter));
    auto& third = f.app.CreateForm<Plain>(Def("TThird"));
    EXPECT_EQ(f.app.Forms(), (std::vector<Form*>{&main, &dialog, &third}));
    EXPECT_EQ(main.ClientWidth(), 400);
    EXPECT_EQ(main.Width(), 400 + headless::kSizeableFrame.width);
    EXPECT_EQ(dialog.Height(), 300 + headless::kDialogFrame.height);
    dialog.SetWidth(500);
    EXPECT_EQ(dialog.ClientWidth(), 500 - headless::kDialogFrame.width);
    main.Show();
    EXPECT_EQ(main.Bounds().left, (headless::kScreen.width - main.Width()) / 2);
    main.SetPosition(100, 50);
    dialog.Show();
    EXPECT_EQ(dialog.Bounds().left, 100 + (main.Width() - dialog.Width()) / 2);
    EXPECT_EQ(dialog.Bounds().top, 50 + (main.Height() - dialog.Height()) / 2);
    dialog.Hide();
    main.SetPosition(0, 0);
    dialog.Show();
    EXPECT_EQ(dialog.Bounds().left, 100 + (main.Width() - dialog.Width()) / 2)
        << "placed on the first show only";
    main.SetState(WindowState::Maximized);
    EXPECT_EQ(main.State(), WindowState::Maximized);
    f.app.DestroyForms();
    EXPECT_TRUE(f.app.Forms().empty());
    const auto destroyed = f.ui.LogLines("destroy");
    EXPECT_EQ(destroyed,
              (std::vector<std::string>{"destroy TThird", "destroy TDlg", "destroy TMain"}));
}

TEST(Forms, CloseActionsNoneAndFree) {
    Fixture f;
    f.app.CreateForm<Plain>(Def("TMain"));
    auto& keep = f.app.CreateForm<Plain>(Def("TKeep"));
    keep.OnClose = [](CloseAction& a) { a = CloseAction::None; };
    keep.Show();
    keep.Close();
    EXPECT_TRUE(keep.Visible());
    auto& gone = f.app.CreateForm<Plain>(Def("TGone"));
    gone.OnClose = [](CloseAction& a) { a = CloseAction::Free; };
    gone.Show();
    gone.Close();
    EXPECT_FALSE(gone.Visible());
    EXPECT_TRUE(f.app.Owns(&gone));
    f.ui.RunPending();
    EXPECT_FALSE(f.app.Owns(&gone));
}

// A form released while one of its own handlers runs a nested loop (a modal run, a message
// box, a download handling messages) is destroyed only after that handler has returned,
// at a later turn: the code that called the handler may still use the form.
TEST(Forms, AReleasedFormOutlivesItsRunningHandlers) {
    struct Case {
        const char* entry;
        std::function<void(Fixture&, Plain&, const std::function<void()>&)> run;
    };
    const std::vector<Case> cases = {
        {"button click",
         [](Fixture&, Plain& form, const std::function<void()>& body) {
             Button button(form, nullptr, "btn");
             button.OnClick = body;
             button.Click();
         }},
        {"timer",
         [](Fixture&, Plain& form, const std::function<void()>& body) {
             Timer timer(form, "timer", 100, true);
             timer.OnTimer = body;
             timer.Fire();
         }},
        {"hook routine",
         [](Fixture& f, Plain& form, const std::function<void()>& body) {
             f.app.InstallMessageHook(&form, [body](const Message&, bool&) { body(); });
             f.app.RouteMessage(Message{nullptr, kWmKeyDown, 'A', 0});
         }},
        {"its own modal run, which the release ends",
         [](Fixture& f, Plain& form, const std::function<void()>& body) {
             f.ui.Post(body);
             EXPECT_EQ(form.ShowModal(), ModalResult::Cancel);
             EXPECT_EQ(f.ui.stalls(), 0);
         }},
        {"a box it owns",
         [](Fixture& f, Plain& form, const std::function<void()>& body) {
             f.boxes.while_shown = body;
             MessageBoxRequest box;
             box.owner = form.Handle();
             f.app.boxes().Show(box);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        Fixture f;
        f.app.CreateForm<Plain>(Def("TMain"));
        auto& form = f.app.CreateForm<Plain>(Def("TPopup"));
        bool owned_in_nested_loop = false;
        c.run(f, form, [&] {
            f.app.ReleaseForm(&form);
            f.ui.RunPending();  // the nested loop takes the release's turn
            owned_in_nested_loop = f.app.Owns(&form);
        });
        EXPECT_TRUE(owned_in_nested_loop);
        EXPECT_TRUE(f.app.Owns(&form)) << "the handler's caller may still use it";
        f.ui.RunPending();
        EXPECT_FALSE(f.app.Owns(&form));
        EXPECT_EQ(f.app.MessageHookOwner(), nullptr);
    }
}

// Destroying an owner window takes its owned windows along: a released form that owns a
// shown form waits for that one to go; hidden ones it owns are released with it.
TEST(Forms, AReleasedFormWaitsForTheShownWindowsItOwnsAndTakesTheHiddenOnes) {
    Fixture f;
    f.app.CreateForm<Plain>(Def("TMain"));  // hidden: new forms are owned by the modal one
    auto& owner = f.app.CreateForm<Plain>(Def("TOwner"));
    Form* shown = nullptr;
    Form* hidden = nullptr;
    f.ui.Post([&] {
        shown = &f.app.CreateForm<Plain>(Def("TShown"));
        shown->Show();
        hidden = &f.app.CreateForm<Plain>(Def("THidden"));
    });
    f.ui.Post([&] { f.app.ReleaseForm(&owner); });
    owner.ShowModal();
    f.ui.RunPending();
    EXPECT_TRUE(f.app.Owns(&owner)) << "a form it owns is shown";
    EXPECT_FALSE(f.app.Owns(hidden));
    f.app.DestroyForm(shown);
    f.ui.RunPending();
    EXPECT_FALSE(f.app.Owns(&owner));
}

TEST(Controls, TitleBarItemsDefaultButtonAndTimer) {
    Fixture f;
    auto& form = f.app.CreateForm<Plain>(Def("TA"));
    int clicks = 0;
    TitleBarItem info;
    info.caption = "信息";
    info.hint = "提示";
    TitleBarItem button;
    button.style = TitleBarItemStyle::Button;
    button.on_click = [&] { ++clicks; };
    TitleBar bar(form, "TitleBar1", {info, button});
    bar.ClickItem(1);
    bar.SetItemEnabled(1, false);
    bar.ClickItem(1);
    bar.SetItemEnabled(1, true);
    bar.SetItemVisible(1, false);
    bar.ClickItem(1);
    EXPECT_EQ(clicks, 1) << "disabled or hidden items do not react";
    bar.SetItemCaption(0, "新");
    EXPECT_EQ(bar.Item(0).caption, "新");
    EXPECT_EQ(bar.Item(0).hint, "提示");

    Button other(form, nullptr, "other");
    Button ok(form, nullptr, "ok");
    int pressed = 0;
    other.OnClick = [&] { pressed += 10; };
    ok.OnClick = [&] { pressed += 1; };
    ok.SetDefault(true);
    form.PressDefaultButton();
    EXPECT_EQ(pressed, 1);

    Timer timer(form, "t", 2000, true);
    int ticks = 0;
    timer.OnTimer = [&] {
        ++ticks;
        timer.SetEnabled(false);
    };
    f.ui.TickTimers("t");
    f.ui.TickTimers("t");
    EXPECT_EQ(ticks, 1);
    Edit edit(form, nullptr, "edt");
    edit.SetText(" typed ");
    EXPECT_EQ(edit.Text(), " typed ");
    EXPECT_EQ(form.FindControl("edt"), &edit);
}

}  // namespace
}  // namespace kelvra::ui
