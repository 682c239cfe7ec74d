#include "headless_ui.h"

#include <algorithm>

#include "platform/error.h"

namespace kelvra::headless {
namespace {

class HeadlessForm final : public ui::NativeForm {
  public:
    // Owned as on Windows: by the main form while it is shown, else by the active window
    // (here the innermost form in a modal run).
    HeadlessForm(HeadlessUi& ui, ui::Form& form) : ui_(ui), form_(form) {
        ui_.Log("create " + form.ClassName());
        if (ui::Form* main = form.app().MainForm(); main != nullptr && main->Visible())
            owner_ = main;
        else
            for (ui::Form* other : form.app().Forms())
                if (other->Visible() && other->Modal())
                    owner_ = other;
    }
    ~HeadlessForm() override { ui_.Log("destroy " + form_.ClassName()); }
    ui::NativeWindow Handle() const override { return const_cast<ui::Form*>(&form_); }
    ui::Rect FrameExtra() const override {
        return form_.definition().border == ui::BorderStyle::Sizeable ? kSizeableFrame
                                                                      : kDialogFrame;
    }
    void Sync() override {
        const std::string& name = form_.ClassName();
        if (form_.Visible() != visible_) {
            visible_ = form_.Visible();
            ui_.Log((visible_ ? (form_.Modal() ? "modal " : "show ") : "hide ") + name);
        }
        if (form_.Caption() != caption_) {
            caption_ = form_.Caption();
            if (synced_)
                ui_.Log("caption " + name + " " + caption_);
        }
        synced_ = true;
    }
    ui::NativeWindow OwnerWindow() const override {
        return owner_ != nullptr ? owner_->Handle() : nullptr;
    }
    bool OwnsLiveWindow() const override {
        for (ui::Form* other : form_.app().Forms())
            if (static_cast<const HeadlessForm&>(other->native()).owner_ == &form_)
                return true;
        return false;
    }

  private:
    HeadlessUi& ui_;
    ui::Form& form_;
    const ui::Form* owner_ = nullptr;
    bool visible_ = false;
    bool synced_ = false;
    std::string caption_;
};

class HeadlessControl final : public ui::NativeControl {
  public:
    void Sync() override { ++syncs_; }

  private:
    int syncs_ = 0;
};

class HeadlessTimer final : public ui::NativeTimer {
  public:
    HeadlessTimer(HeadlessUi& ui, ui::Timer& timer) : ui_(ui), timer_(timer) {}
    ~HeadlessTimer() override { ui_.ForgetTimer(&timer_); }
    void Sync() override {
        ui_.Log(std::string("timer ") + timer_.Name() + (timer_.Enabled() ? " on" : " off"));
    }

  private:
    HeadlessUi& ui_;
    ui::Timer& timer_;
};

}  // namespace

std::unique_ptr<ui::NativeForm> HeadlessUi::CreateForm(ui::Form& form) {
    return std::make_unique<HeadlessForm>(*this, form);
}

std::unique_ptr<ui::NativeControl> HeadlessUi::CreateControl(ui::Control&) {
    return std::make_unique<HeadlessControl>();
}

std::unique_ptr<ui::NativeTimer> HeadlessUi::CreateTimer(ui::Timer& timer) {
    timers_.push_back(&timer);
    return std::make_unique<HeadlessTimer>(*this, timer);
}

void HeadlessUi::ForgetTimer(ui::Timer* timer) {
    timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

void HeadlessUi::RunOne() {
    auto task = std::move(queue_.front());
    queue_.pop_front();
    task();
}

void HeadlessUi::RunLoop(ui::Application& app) {
    Log("loop start");
    while (!app.Terminated()) {
        if (queue_.empty()) {
            Log("loop idle");
            return;
        }
        RunOne();
    }
    Log("loop end");
}

void HeadlessUi::RunModalLoop(ui::Application&, const std::function<bool()>& done) {
    while (!done()) {
        if (queue_.empty()) {
            ++stalls_;
            Log("modal stalled");
            return;
        }
        RunOne();
    }
}

void HeadlessUi::PostMessage(ui::Application& app, const ui::Message& message) {
    Post([this, &app, message] {
        if (!app.RouteMessage(message))
            Log("dispatch " + std::to_string(message.message) + " " +
                std::to_string(message.wparam));
    });
}

void HeadlessUi::ProcessPendingMessages() {
    std::size_t n = queue_.size();
    if (n == 0)
        return;
    Log("pump " + std::to_string(n));
    while (n-- > 0 && !queue_.empty())
        RunOne();
}

void HeadlessUi::RunPending() {
    while (!queue_.empty())
        RunOne();
}

void HeadlessUi::TickTimers(const std::string& name) {
    const auto timers = timers_;  // a tick may create or destroy timers
    for (ui::Timer* timer : timers)
        if (std::find(timers_.begin(), timers_.end(), timer) != timers_.end() &&
            timer->Name() == name && timer->Enabled())
            timer->Fire();
}

std::vector<std::string> HeadlessUi::LogLines(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : log_)
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line);
    return out;
}

void HeadlessShell::Execute(ui::NativeWindow owner, const std::string& verb,
                            const std::string& file, const std::string& parameters,
                            const std::string& directory, int show_command) {
    calls_.push_back({verb, file, parameters, directory, show_command, owner != nullptr});
    ui_.Log("shell " + verb + " " + file);
    if (fail)
        throw Error("The shell could not open " + file);
}

ui::MsgResult HeadlessBoxes::Show(const ui::MessageBoxRequest& request) {
    if (fail)
        throw Error("The message box could not be shown");
    shown.push_back(request);
    if (while_shown) {
        const auto run = std::move(while_shown);
        while_shown = nullptr;
        run();
    }
    ui::MsgResult answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.erase(answers.begin());
    } else if (request.buttons == ui::MsgButtons::Ok) {
        answer = ui::MsgResult::Ok;
    } else if (request.buttons == ui::MsgButtons::YesNo ||
               request.buttons == ui::MsgButtons::YesNoCancel) {
        answer = ui::MsgResult::No;
    } else {
        answer = ui::MsgResult::Cancel;
    }
    ui_.Log("box " + request.caption + "|" + request.text + "|" + ui::ToString(request.buttons) +
            "|" + ui::ToString(request.icon) + " -> " + ui::ToString(answer));
    return answer;
}

}  // namespace kelvra::headless
