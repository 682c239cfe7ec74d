// The portable state of the memo, radio buttons and progress bar on the headless backend,
// where no native widget answers and the controls' own state is what tests read.
#include <gtest/gtest.h>

#include "headless_ui.h"
#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace kelvra::ui {
namespace {

FormDefinition Def() {
    FormDefinition d;
    d.class_name = "TLicence";
    d.border = BorderStyle::Dialog;
    d.client_width = 392;
    d.client_height = 371;
    return d;
}

class Licence final : public Form {
  public:
    explicit Licence(Application& app)
        : Form(app, Def()),
          accept(*this, nullptr, "accept"),
          notaccept(*this, nullptr, "notaccept"),
          box(*this, nullptr, "box"),
          other(*this, &box, "other") {}
    RadioButton accept;
    RadioButton notaccept;
    GroupBox box;
    RadioButton other;
};

struct Fixture {
    headless::HeadlessUi ui;
    headless::HeadlessBoxes boxes{ui};
    Application app{ui, boxes};
};

TEST(HeadlessRadioButtons, ClicksFollowTheGroupOfTheSameParent) {
    Fixture f;
    auto& form = f.app.CreateForm<Licence>();
    form.notaccept.SetChecked(true);
    form.other.SetChecked(true);
    form.accept.Click();
    EXPECT_TRUE(form.accept.Checked());
    EXPECT_FALSE(form.notaccept.Checked());
    EXPECT_TRUE(form.other.Checked()) << "another parent is another group";
    // A disabled or hidden button does not react to a click.
    form.notaccept.SetEnabled(false);
    form.notaccept.Click();
    form.notaccept.SetEnabled(true);
    form.notaccept.SetVisible(false);
    form.notaccept.Click();
    EXPECT_TRUE(form.accept.Checked());
    EXPECT_FALSE(form.notaccept.Checked());
}

}  // namespace
}  // namespace kelvra::ui
