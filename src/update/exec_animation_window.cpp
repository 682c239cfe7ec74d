#include "update/exec_animation_window.h"

#include "ui/application.h"
#include "ui/controls.h"
#include "ui/form.h"

namespace kelvra::update {
namespace {

class AnimationForm final : public ui::Form {
  public:
    AnimationForm(ui::Application& app, const std::string& caption, const std::string& message)
        : ui::Form(app, Definition(caption)),
          animation_(*this, nullptr, "Animation"),
          text_(*this, nullptr, "StatusText") {
        SetWidth(kExecAnimationWidth);
        SetHeight(kExecAnimationHeight);
        animation_.SetBounds({kAnimationLeft, kAnimationTop, kAnimationWidth, kAnimationHeight});
        text_.SetCaption(message);
        text_.SetBounds({kAnimationLeft, kAnimationTop + kAnimationHeight + 8,
                         kExecAnimationWidth - 2 * kAnimationLeft, 16});
    }

    // Starts the animation (once the form is shown).
    void Start() { animation_.SetActive(true); }

  private:
    static ui::FormDefinition Definition(const std::string& caption) {
        ui::FormDefinition d;
        d.class_name = kExecAnimationClass;
        d.caption = caption;
        d.border = ui::BorderStyle::Dialog;
        d.icons = {false, false, false};
        d.position = ui::FormPosition::ScreenCenter;
        return d;
    }

    ui::Animation animation_;
    ui::Label text_;
};

class AnimationWindow final : public ExecAnimation {
  public:
    AnimationWindow(ui::Application& app, const std::string& caption, const std::string& message)
        : app_(app), form_(app.CreateForm<AnimationForm>(caption, message)) {
        form_.Show();
        form_.Start();
    }
    ~AnimationWindow() override { app_.DestroyForm(&form_); }

  private:
    ui::Application& app_;
    AnimationForm& form_;
};

}  // namespace

std::function<std::unique_ptr<ExecAnimation>(const std::string&, const std::string&)>
ExecAnimationWindows(ui::Application& app) {
    return [&app](const std::string& caption, const std::string& message) {
        return std::make_unique<AnimationWindow>(app, caption, message);
    };
}

}  // namespace kelvra::update
