#include <gtest/gtest.h>

#include "app/error_box.h"
#include "ui/dialog_script.h"

namespace kelvra::app {
namespace {

class RecordingBoxes final : public ui::MessageBoxes {
  public:
    ui::MsgResult Show(const ui::MessageBoxRequest& r) override {
        shown.push_back(r);
        return ui::MsgResult::Ok;
    }
    std::vector<ui::MessageBoxRequest> shown;
};

TEST(ErrorBoxText, AppendsFullStopOnlyWhenMissing) {
    struct Case {
        const char* message;
        const char* text;
    } cases[] = {
        {"Access denied", "Access denied."},
        {"Access denied.", "Access denied."},
        {"Ends in blank ", "Ends in blank ."},
        {"Question?", "Question?."},
        {"无法连接", "无法连接."},
        {"", "."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorBoxText(c.message), c.text) << c.message;
}

TEST(ErrorBox, UsesApplicationTitleStopIconAndOk) {
    RecordingBoxes boxes;
    ShowErrorBox(boxes, "Cannot create file");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Cannot create file.");
    EXPECT_EQ(boxes.shown[0].caption, "Kelvra教学云客户端");
    EXPECT_EQ(boxes.shown[0].icon, ui::MsgIcon::Error);
    EXPECT_EQ(boxes.shown[0].buttons, ui::MsgButtons::Ok);
    EXPECT_EQ(boxes.shown[0].owner, nullptr);
}

}  // namespace
}  // namespace kelvra::app
