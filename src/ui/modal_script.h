// The dialog seam for forms run modally: with the dialog script active, a modal form that
// holds edit fields is answered like a prompt, so that tests drive the real dialog code.
#pragma once

namespace kelvra::ui {

class Form;

// Records the form as a "prompt:" (caption, fields = its edit fields' names) and takes the
// next answer: "OK" fills the fields from the answer's values and presses the default
// button; anything else closes the form. Returns false and does nothing when no script is
// active or the form has no edit field.
bool AnswerModalFromScript(Form& form);

}  // namespace kelvra::ui
