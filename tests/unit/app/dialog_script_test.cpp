#include <gtest/gtest.h>

#include "test_support.h"
#include "ui/dialog_script.h"

namespace kelvra::ui {
namespace {

MessageBoxRequest Box(MsgButtons buttons, std::string text = "t") {
    MessageBoxRequest r;
    r.caption = "Cap";
    r.text = std::move(text);
    r.buttons = buttons;
    r.icon = MsgIcon::Question;
    return r;
}

TEST(DialogScript, AnswersInOrderThenDefaults) {
    test::TempDir dir;
    const std::string path = dir.File("dialogs.txt");
    test::WriteBytes(path, "answer: Yes\nanswer: Retry\n");
    DialogScript script(path);
    EXPECT_EQ(script.Show(Box(MsgButtons::YesNo)), MsgResult::Yes);
    EXPECT_EQ(script.Show(Box(MsgButtons::RetryCancel)), MsgResult::Retry);
    // No answers left: No or Cancel, OK where OK is the only button.
    EXPECT_EQ(script.Show(Box(MsgButtons::YesNo)), MsgResult::No);
    EXPECT_EQ(script.Show(Box(MsgButtons::YesNoCancel)), MsgResult::Cancel);
    EXPECT_EQ(script.Show(Box(MsgButtons::OkCancel)), MsgResult::Cancel);
    EXPECT_EQ(script.Show(Box(MsgButtons::Ok)), MsgResult::Ok);
    const auto records = ReadScriptRecords(test::ReadBytes(path));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].answer, "Yes");
    EXPECT_EQ(records[2].answer, "No");
    EXPECT_EQ(records[0].fields.at("buttons"), "YesNo");
    EXPECT_EQ(records[0].fields.at("icon"), "Question");
}

TEST(DialogScript, TextRoundTripsThroughQuoting) {
    test::TempDir dir;
    const std::string path = dir.File("dialogs.txt");
    DialogScript script(path);
    const std::string text = "line one\r\nsays \"hi\" -> \\ 已经 \ttab";
    script.Show(Box(MsgButtons::Ok, text));
    const auto records = ReadScriptRecords(test::ReadBytes(path));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields.at("text"), text);
    EXPECT_EQ(records[0].fields.at("caption"), "Cap");
    EXPECT_EQ(records[0].answer, "OK");
}

TEST(DialogScript, AnswerThatDoesNotFitTheButtonsIsAnError) {
    test::TempDir dir;
    const std::string path = dir.File("dialogs.txt");
    test::WriteBytes(path, "answer: Yes\n");
    DialogScript script(path);
    EXPECT_THROW(script.Show(Box(MsgButtons::Ok)), std::exception);
}

TEST(DialogScript, PromptTakesFieldValuesOrCancels) {
    test::TempDir dir;
    const std::string path = dir.File("dialogs.txt");
    test::WriteBytes(path, "answer: OK user=ann pass=\"s e c\"\n");
    DialogScript script(path);
    PromptRequest req{"Sign in", "Server asks", {"user", "pass"}};
    const PromptAnswer a = script.Prompt(req);
    EXPECT_TRUE(a.accepted);
    EXPECT_EQ(a.values.at("user"), "ann");
    EXPECT_EQ(a.values.at("pass"), "s e c");
    EXPECT_FALSE(script.Prompt(req).accepted);
    const auto records = ReadScriptRecords(test::ReadBytes(path));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].kind, "prompt");
    EXPECT_EQ(records[0].fields.at("fields"), "user,pass");
    EXPECT_EQ(records[0].answer_values.at("pass"), "s e c");
    EXPECT_EQ(records[1].answer, "Cancel");
}

TEST(DialogScript, ActiveOnlyWhenVariableNamesAFile) {
    {
        test::ScopedEnv unset("KELVRA_DIALOG_SCRIPT", std::nullopt);
        EXPECT_EQ(ActiveDialogScript(), nullptr);
    }
    {
        test::ScopedEnv empty("KELVRA_DIALOG_SCRIPT", "");
        EXPECT_EQ(ActiveDialogScript(), nullptr);
    }
    test::TempDir dir;
    test::ScopedEnv set("KELVRA_DIALOG_SCRIPT", dir.File("d.txt"));
    ASSERT_NE(ActiveDialogScript(), nullptr);
    EXPECT_EQ(&ApplicationMessageBoxes(), ActiveDialogScript());
}

}  // namespace
}  // namespace kelvra::ui
