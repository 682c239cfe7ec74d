#include "ui/modal_script.h"

#include <vector>

#include "ui/controls.h"
#include "ui/dialog_script.h"
#include "ui/form.h"

namespace kelvra::ui {

bool AnswerModalFromScript(Form& form) {
    DialogScript* script = ActiveDialogScript();
    if (script == nullptr)
        return false;
    std::vector<Edit*> edits;
    for (Control* control : form.Controls())
        if (control->Kind() == ControlKind::Edit)
            edits.push_back(static_cast<Edit*>(control));
    if (edits.empty())
        return false;
    PromptRequest request;
    request.caption = form.Caption();
    for (Edit* edit : edits)
        request.fields.push_back(edit->Name());
    const PromptAnswer answer = script->Prompt(request);
    if (!answer.accepted) {
        form.Close();
        return true;
    }
    for (Edit* edit : edits)
        if (auto it = answer.values.find(edit->Name()); it != answer.values.end())
            edit->SetText(it->second);
    form.PressDefaultButton();
    return true;
}

}  // namespace kelvra::ui
