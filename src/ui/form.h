// A top-level window of the application: caption, border, size and place, window state,
// show / hide / modal run / close, and the controls placed on it in creation order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace kelvra::ui {

class Application;
class Button;
class Control;
class Timer;

enum class CloseAction { None, Hide, Free, Minimize };
enum class ModalResult { None, Ok, Cancel };
enum class FormPosition { Designed, ScreenCenter, MainFormCenter };

struct BorderIcons {
    bool system_menu = true;
    bool minimize = true;
    bool maximize = true;
};

// A window's fixed definition.
struct FormDefinition {
    std::string class_name;  // "TFrmMain", ...
    std::string caption;
    BorderStyle border = BorderStyle::Sizeable;
    BorderIcons icons;
    int client_width = 0;
    int client_height = 0;
    FormPosition position = FormPosition::Designed;
    WindowState state = WindowState::Normal;
    std::string font_name = "Tahoma";
    int font_height = 11;
};

class Form {
  public:
    Form(Application& app, const FormDefinition& definition);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    Application& app() const { return app_; }
    const FormDefinition& definition() const { return definition_; }
    const std::string& ClassName() const { return definition_.class_name; }
    NativeForm& native() const { return *native_; }
    NativeWindow Handle() const { return native_->Handle(); }

    // Handlers bound by the window class.
    std::function<void()> OnCreate;
    std::function<void(CloseAction&)> OnClose;
    std::function<void(std::uint32_t command)> OnSysCommand;

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    // Outer bounds (frame included).
    const Rect& Bounds() const { return bounds_; }
    int Width() const { return bounds_.width; }
    int Height() const { return bounds_.height; }
    void SetWidth(int width);
    void SetHeight(int height);
    int ClientWidth() const;
    int ClientHeight() const;
    void SetClientSize(int width, int height);
    void SetPosition(int left, int top);

    WindowState State() const { return state_; }
    void SetState(WindowState state);
    bool Visible() const { return visible_; }
    bool Modal() const { return modal_; }

    void Show();
    void Hide();
    // Shows the form and runs a nested loop until a modal result is set or a terminate
    // request is made (then the result is Cancel). The form is hidden afterwards.
    ModalResult ShowModal();
    void SetModalResult(ModalResult result);
    ModalResult CurrentModalResult() const { return modal_result_; }
    // Runs OnClose; with an action other than None a modal run ends as cancelled, the main
    // form requests termination, Hide hides, Free hides and destroys the form afterwards.
    void Close();
    // A system command from the window frame: OnSysCommand, then its default processing.
    void SysCommand(std::uint32_t command);
    // Enter on the form presses the default button, if any.
    void PressDefaultButton();

    // Controls and components placed on this form, in creation order.
    const std::vector<Control*>& Controls() const { return controls_; }
    Control* FindControl(const std::string& name) const;
    const std::vector<Timer*>& Timers() const { return timers_; }

  private:
    friend class Control;
    friend class Timer;
    void PlaceOnFirstShow();

    Application& app_;
    FormDefinition definition_;
    std::unique_ptr<NativeForm> native_;
    std::string caption_;
    Rect bounds_;
    WindowState state_ = WindowState::Normal;
    bool visible_ = false;
    bool shown_once_ = false;
    bool modal_ = false;
    ModalResult modal_result_ = ModalResult::None;
    std::vector<Control*> controls_;
    std::vector<Timer*> timers_;
};

}  // namespace kelvra::ui
