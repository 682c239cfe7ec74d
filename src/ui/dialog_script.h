// The dialog seam for tests. When KELVRA_DIALOG_SCRIPT names a file, every message box
// and modal prompt is appended to that file and answered from the answers it lists.
//
// File format, one entry per line:
//   answer: Yes                      an answer, written by the test beforehand
//   answer: OK user="ann" pass="x"   an answer to a prompt, with field values
//   box: caption="..." text="..." buttons=YesNo icon=Question -> Yes
//   prompt: caption="..." text="..." fields=user,pass -> OK user="ann" pass="x"
// The n-th box or prompt takes the n-th answer line. With no answer left, a box is
// answered with its No or Cancel button (OK when OK is its only button) and a prompt
// is cancelled. Quoted values escape \\ \" \n \r \t.
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

class DialogScript final : public MessageBoxes {
  public:
    explicit DialogScript(std::string path);

    const std::string& path() const { return path_; }
    MsgResult Show(const MessageBoxRequest& request) override;
    PromptAnswer Prompt(const PromptRequest& request);

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
    std::string kind;  // "box" or "prompt"
    std::map<std::string, std::string> fields;
    std::string answer;
    std::map<std::string, std::string> answer_values;
};
std::vector<ScriptRecord> ReadScriptRecords(const std::string& file_contents);

}  // namespace kelvra::ui
