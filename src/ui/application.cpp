#include "ui/application.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "ui/error_box.h"
#include "ui/form.h"

namespace kelvra::ui {

Application::Application(Backend& backend, MessageBoxes& boxes)
    : backend_(backend), boxes_(boxes) {}

Application::~Application() {
    DestroyForms();
}

void Application::Terminate() {
    if (termination_check_ && !termination_check_())
        return;
    terminated_ = true;
    backend_.WakeUp();
}

void Application::InstallMessageHook(const void* owner, MessageRoutine routine) {
    hook_owner_ = owner;
    hook_ = std::move(routine);
}

void Application::ReleaseMessageHook(const void* owner) {
    if (owner != nullptr && hook_owner_ == owner) {
        hook_owner_ = nullptr;
        hook_ = nullptr;
    }
}

bool Application::RouteMessage(const Message& message) {
    if (!hook_)
        return false;
    bool handled = false;
    // Copy: the routine may install another occupant while it runs.
    MessageRoutine routine = hook_;
    const Form* owner = nullptr;
    for (const auto& form : forms_)
        if (form.get() == hook_owner_)
            owner = form.get();
    RunHandler(owner, [&] { routine(message, handled); });
    return handled;
}

std::vector<Form*> Application::Forms() const {
    std::vector<Form*> out;
    out.reserve(forms_.size());
    for (const auto& form : forms_)
        out.push_back(form.get());
    return out;
}

bool Application::Owns(const Form* form) const {
    return std::any_of(forms_.begin(), forms_.end(),
                       [form](const auto& owned) { return owned.get() == form; });
}

void Application::Adopt(std::unique_ptr<Form> form) {
    if (main_form_ == nullptr)
        main_form_ = form.get();
    forms_.push_back(std::move(form));
}

void Application::RunCreateHandler(Form& form) {
    if (form.OnCreate)
        Guard(form, [&] { form.OnCreate(); });
}

Application::RunningHandler::RunningHandler(Application& app, const Form* form)
    : app_(app), form_(form) {
    app_.running_.push_back(form_);
}

Application::RunningHandler::~RunningHandler() {
    auto it = std::find(app_.running_.rbegin(), app_.running_.rend(), form_);
    if (it != app_.running_.rend())
        app_.running_.erase(std::next(it).base());
    // A handler or loop has ended (perhaps one that kept a released form, or one that closed
    // a window such a form owned): a pending release can go ahead, at the next turn, since
    // the caller of this handler may still use the form.
    app_.PostDestroyReleased();
}

MsgResult Application::OwnedBoxes::Show(const MessageBoxRequest& request) {
    RunningHandler running(app_, app_.FormOf(request.owner));
    return boxes_.Show(request);
}

bool Application::HandlerRunning(const Form* form) const {
    return std::find(running_.begin(), running_.end(), form) != running_.end();
}

bool Application::ReadyToDestroy(const Form* form) const {
    return !HandlerRunning(form) && !form->native().OwnsLiveWindow();
}

Form* Application::FormOf(NativeWindow window) const {
    if (window == nullptr)
        return nullptr;
    for (const auto& form : forms_)
        if (form->Handle() == window)
            return form.get();
    return nullptr;
}

void Application::ReleaseForm(Form* form) {
    if (!Owns(form) || std::find(released_.begin(), released_.end(), form) != released_.end())
        return;
    released_.push_back(form);
    // Hidden forms it owns (a finished dialog run over it) are not shown again either; on
    // Windows they would go with it.
    for (Form* other : Forms())
        if (other != form && other != main_form_ && !other->Visible() &&
            other->native().OwnerWindow() == form->Handle())
            ReleaseForm(other);
    form->Hide();
    if (form->Modal())
        form->SetModalResult(ModalResult::Cancel);
    PostDestroyReleased();
}

void Application::PostDestroyReleased() {
    // Only for a form that is ready: one kept by a window it owns is checked again when the
    // next handler or loop ends, never by a task that posts itself.
    if (destroy_posted_ || std::none_of(released_.begin(), released_.end(),
                                        [this](const Form* f) { return ReadyToDestroy(f); }))
        return;
    destroy_posted_ = true;
    backend_.Post([this] { DestroyReleased(); });
}

void Application::DestroyReleased() {
    destroy_posted_ = false;
    // Destroying one may end the last window that kept another's owner.
    for (bool destroyed = true; destroyed;) {
        destroyed = false;
        for (Form* form : released_) {
            if (ReadyToDestroy(form)) {
                DestroyForm(form);
                destroyed = true;
                break;
            }
        }
    }
}

void Application::DestroyForm(Form* form) {
    auto it = std::find_if(forms_.begin(), forms_.end(),
                           [form](const auto& owned) { return owned.get() == form; });
    if (it == forms_.end())
        return;  // already gone
    std::unique_ptr<Form> doomed = std::move(*it);
    forms_.erase(it);
    released_.erase(std::remove(released_.begin(), released_.end(), form), released_.end());
    if (main_form_ == form)
        main_form_ = nullptr;
    doomed.reset();
    PostDestroyReleased();  // it may have been the owned window another released form waits for
}

void Application::DestroyForms() {
    while (!forms_.empty()) {
        std::unique_ptr<Form> doomed = std::move(forms_.back());
        forms_.pop_back();
        released_.erase(std::remove(released_.begin(), released_.end(), doomed.get()),
                        released_.end());
        if (main_form_ == doomed.get())
            main_form_ = nullptr;
        doomed.reset();
    }
}

void Application::Run() {
    if (terminated_)
        return;  // the request came during start-up: no main window is shown
    if (main_form_ != nullptr)
        Guard([&] { main_form_->Show(); });
    backend_.RunLoop(*this);
}

void Application::ShowException(std::exception_ptr error) {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    try {
        ShowErrorBox(boxes_, title_, message);
    } catch (...) {
        // A failing error box must not end the program from inside a handler.
    }
}

}  // namespace kelvra::ui
