// The release-notes and licence dialogs of the update procedure: a 400 x 400 dialog with a
// read-only text box, its buttons and, for the licence, the accept / do-not-accept choice.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ui/form.h"

namespace kelvra::ui {
class Button;
class Memo;
class RadioButton;
}  // namespace kelvra::ui

namespace kelvra::update {

inline constexpr int kTextDialogWidth = 400;
inline constexpr int kTextDialogHeight = 400;
inline constexpr int kDialogButtonWidth = 75;
inline constexpr int kDialogButtonHeight = 25;

// True when the text's first five bytes, upper-cased, are "{\RTF".
bool IsRichText(std::string_view text);

struct WhatsNewTexts {
    std::string caption = "What's new";
    std::string okbtn = "Ok";
    std::string cancelbtn = "Cancel";
};

struct EULATexts {
    std::string caption;
    std::string okbtn = "Ok";
    std::string accept = "I accept";
    std::string notaccept = "I do not accept";
};

// The release notes: text box at (10, 10), client width - 20 by client height - 60; OK and
// Cancel 10 pixels below it, right-aligned with it, OK first.
class TWhatsNewForm final : public ui::Form {
  public:
    TWhatsNewForm(ui::Application& app, const std::string& text, const WhatsNewTexts& texts);
    ~TWhatsNewForm() override;
    ui::Memo& Memo1() { return *memo_; }
    ui::Button& OkButton() { return *ok_; }
    ui::Button& CancelButton() { return *cancel_; }

  private:
    std::unique_ptr<ui::Memo> memo_;
    std::unique_ptr<ui::Button> ok_;
    std::unique_ptr<ui::Button> cancel_;
};

// The licence: the same text box, one OK button right-aligned below it, and on its line the
// choice "accept" at x = 10 and "notaccept" 20 pixels after it, "notaccept" checked.
class TEULAForm final : public ui::Form {
  public:
    TEULAForm(ui::Application& app, const std::string& text, const EULATexts& texts);
    ~TEULAForm() override;
    ui::Memo& Memo1() { return *memo_; }
    ui::Button& OkButton() { return *ok_; }
    ui::RadioButton& AcceptButton() { return *accept_; }
    ui::RadioButton& NotAcceptButton() { return *notaccept_; }

  private:
    std::unique_ptr<ui::Memo> memo_;
    std::unique_ptr<ui::Button> ok_;
    std::unique_ptr<ui::RadioButton> accept_;
    std::unique_ptr<ui::RadioButton> notaccept_;
};

// Shows the release notes modally; true when closed with OK. With the dialog script active
// the dialog is answered from it instead of being shown; without an application only the
// script can answer, and otherwise the notes count as declined.
bool AskWhatsNew(ui::Application* app, const std::string& text, const WhatsNewTexts& texts);
// Shows the licence modally; true when "accept" is checked once it has closed, in whatever
// way it closed. Answered like AskWhatsNew.
bool AskEULA(ui::Application* app, const std::string& text, const EULATexts& texts);

}  // namespace kelvra::update
