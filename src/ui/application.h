// The application object: owned forms in creation order, the message loop, terminate
// requests, the application message hook slot and the error box for escaped errors.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ui/backend.h"
#include "ui/message_box.h"

namespace kelvra::ui {

class Form;

// The hook routine: sets handled to keep the loop from translating and dispatching.
using MessageRoutine = std::function<void(const Message& message, bool& handled)>;

class Application {
  public:
    Application(Backend& backend, MessageBoxes& boxes);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    Backend& backend() { return backend_; }
    // The boxes of the application: a box owned by one of its forms counts as a loop of that
    // form while it is shown.
    MessageBoxes& boxes() { return owned_boxes_; }

    const std::string& Title() const { return title_; }
    void SetTitle(std::string title) { title_ = std::move(title); }

    // Consulted first by Terminate; returning false vetoes the request.
    void SetTerminationCheck(std::function<bool()> check) { termination_check_ = std::move(check); }
    // Marks the loops to end at their next turn (a modal run ends as cancelled). Returns
    // normally: the caller runs on to its end.
    void Terminate();
    bool Terminated() const { return terminated_; }

    // The hook slot. Installing replaces the occupant; nothing restores an earlier one.
    void InstallMessageHook(const void* owner, MessageRoutine routine);
    // Empties the slot when owner holds it (owner is being destroyed).
    void ReleaseMessageHook(const void* owner);
    const void* MessageHookOwner() const { return hook_owner_; }
    // Passes message to the slot's routine; true when the routine handled it.
    bool RouteMessage(const Message& message);

    // Creates a form owned by the application. T's constructor is T(Application&, args...).
    // The creation handler runs under the creation rule: an error is shown, the rest of the
    // handler is skipped and the form is still created. The first form is the main form.
    template <class T, class... Args>
    T& CreateForm(Args&&... args) {
        auto form = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T& ref = *form;
        Adopt(std::move(form));
        RunCreateHandler(ref);
        return ref;
    }
    Form* MainForm() const { return main_form_; }
    // Owned forms still alive, in creation order.
    std::vector<Form*> Forms() const;
    bool Owns(const Form* form) const;
    // The live form whose native window that is, or null.
    Form* FormOf(NativeWindow window) const;
    // Hides form for good and destroys it at a later turn of the loop, once no loop or
    // handler of its own is on the stack (a modal run, a box it owns, a page call, a download
    // that handles messages) and it owns no live window. A modal run of its own ends as
    // cancelled so that it can unwind. Used for a form closing with Free and for windows
    // hidden for good.
    void ReleaseForm(Form* form);
    // Destroys form now.
    void DestroyForm(Form* form);
    // Destroys every remaining form, newest first.
    void DestroyForms();

    // Shows the main form (unless a terminate request was already made) and runs the
    // message loop until a terminate request.
    void Run();

    // Runs handler; an error that escapes it is shown in the error box.
    template <class F>
    void Guard(F&& handler) {
        RunHandler(nullptr, std::forward<F>(handler));
    }
    // The same for a handler of form: a released form is not destroyed while it runs.
    template <class F>
    void Guard(Form& form, F&& handler) {
        RunHandler(&form, std::forward<F>(handler));
    }
    void ShowException(std::exception_ptr error);

    // Marks a handler or loop of form (null: of no form) as on the stack for its lifetime.
    class RunningHandler {
      public:
        RunningHandler(Application& app, const Form* form);
        ~RunningHandler();
        RunningHandler(const RunningHandler&) = delete;
        RunningHandler& operator=(const RunningHandler&) = delete;

      private:
        Application& app_;
        const Form* form_;
    };

  private:
    template <class F>
    void RunHandler(const Form* form, F&& handler) {
        RunningHandler running(*this, form);
        try {
            std::forward<F>(handler)();
        } catch (...) {
            ShowException(std::current_exception());
        }
    }

    // Passes each box on, marking the form that owns it as running while it shows.
    class OwnedBoxes final : public MessageBoxes {
      public:
        OwnedBoxes(Application& app, MessageBoxes& boxes) : app_(app), boxes_(boxes) {}
        MsgResult Show(const MessageBoxRequest& request) override;

      private:
        Application& app_;
        MessageBoxes& boxes_;
    };

    void Adopt(std::unique_ptr<Form> form);
    void RunCreateHandler(Form& form);
    bool HandlerRunning(const Form* form) const;
    bool ReadyToDestroy(const Form* form) const;
    // Asks for DestroyReleased at a later turn when a released form is ready.
    void PostDestroyReleased();
    // Destroys the released forms that are ready.
    void DestroyReleased();

    Backend& backend_;
    MessageBoxes& boxes_;
    OwnedBoxes owned_boxes_{*this, boxes_};
    std::string title_;
    std::function<bool()> termination_check_;
    bool terminated_ = false;
    const void* hook_owner_ = nullptr;
    MessageRoutine hook_;
    std::vector<std::unique_ptr<Form>> forms_;
    Form* main_form_ = nullptr;
    std::vector<const Form*> running_;  // forms whose handlers are on the stack, innermost last
    std::vector<Form*> released_;       // waiting for their loops and owned windows to end
    bool destroy_posted_ = false;
};

}  // namespace kelvra::ui
