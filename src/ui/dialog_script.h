// The dialog seam for tests. When KELVRA_DIALOG_SCRIPT names a file, every message box
// and modal prompt is appended to that file and answered from the answers it lists.
//
// File format, one entry per line:
//   answer: Yes                      an answer, written by the test beforehand
//   answer: OK user="ann" pass="x"   an answer to a prompt, with field values
//   box: caption="..." text="..." buttons=YesNo icon=Question -> Yes
//   prompt: caption="..." text="..." fields=user,pass -> OK user="ann" pass="x"
//   dialog: caption="..." text="..." buttons="Ok,Cancel" choices="I accept,I do not accept"
//           checked="I do not accept" -> OK choice="I accept"     (one line in the file)
// A "dialog:" record is a modal form showing a text with buttons and, optionally, radio
// choices; its answer is "OK" or "Cancel" (the button that closes it), with choice= naming
// the radio button clicked before closing ("answer: OK choice=\"I accept\"").
// The n-th box, prompt or dialog takes the n-th answer line. With no answer left, a box is
// answered with its No or Cancel button (OK when OK is its only button), a prompt is
// cancelled and a dialog is closed with Cancel, its choice unchanged. Quoted values escape
// \\ \" \n \r \t.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/message_box.h"

namespace kelvra::ui {

struct PromptRequest {
    std::string caption;
    std::string text;
    std::vector<std::string> fields;  // field names, in order
};

struct PromptAnswer {
    bool accepted = false;
    std::map<std::string, std::string> values;
};

struct DialogRequest {
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;  // button captions, in order
    std::vector<std::string> choices;  // radio button captions, in order
    std::string checked;               // the choice checked at the start
};

struct DialogAnswer {
    bool ok = false;     // closed with OK (otherwise Cancel)
    std::string choice;  // the radio caption to click first; empty for none
};

class DialogScript final : public MessageBoxes {
  public:
    explicit DialogScript(std::string path);

    const std::string& path() const { return path_; }
    MsgResult Show(const MessageBoxRequest& request) override;
    PromptAnswer Prompt(const PromptRequest& request);
    DialogAnswer Dialog(const DialogRequest& request);

  private:
    struct Answer {
        std::string word;
        std::map<std::string, std::string> values;
    };
    std::optional<Answer> NextAnswer() const;
    void Append(const std::string& line);

    std::string path_;
};

// The script named by KELVRA_DIALOG_SCRIPT, or null when the variable is unset or empty.
DialogScript* ActiveDialogScript();

// Quoting used in the script file.
std::string QuoteScriptValue(const std::string& value);
// A parsed "box:" or "prompt:" record, for tests reading the file back.
struct ScriptRecord {
    std::string kind;  // "box", "prompt" or "dialog"
    std::map<std::string, std::string> fields;
    std::string answer;
    std::map<std::string, std::string> answer_values;
};
std::vector<ScriptRecord> ReadScriptRecords(const std::string& file_contents);

}  // namespace kelvra::ui
