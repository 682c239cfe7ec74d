// The sign-in prompt of the transport: a fixed dialog asking for a user name and password.
#pragma once

#include <string>

#include "ui/form.h"

namespace kelvra::ui {
class Button;
class Edit;
class Label;
}  // namespace kelvra::ui

namespace kelvra::update {

class TLoginPromptForm final : public ui::Form {
  public:
    explicit TLoginPromptForm(ui::Application& app);
    ~TLoginPromptForm() override;

    ui::Label& Label1() { return *label1_; }
    ui::Edit& Edit1() { return *edit1_; }
    ui::Label& Label2() { return *label2_; }
    ui::Edit& Edit2() { return *edit2_; }
    ui::Button& Button1() { return *button1_; }
    ui::Button& Button2() { return *button2_; }

  private:
    std::unique_ptr<ui::Label> label1_;
    std::unique_ptr<ui::Edit> edit1_;
    std::unique_ptr<ui::Label> label2_;
    std::unique_ptr<ui::Edit> edit2_;
    std::unique_ptr<ui::Button> button1_;
    std::unique_ptr<ui::Button> button2_;
};

// Shows the prompt modally with caption; on OK sets user and password from the fields
// (which start empty) and returns true; on Cancel leaves both unchanged.
bool PromptLogin(ui::Application& app, const std::string& caption, std::string& user,
                 std::string& password);

}  // namespace kelvra::update
