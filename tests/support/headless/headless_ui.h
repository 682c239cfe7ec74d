// A headless backend of the GUI port: no windows, a task queue as the message queue, and a
// log of what the forms and controls do, for tests to read back.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/application.h"
#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "windows/ports.h"

namespace kelvra::headless {

// Frame the headless forms add around their client area.
inline constexpr ui::Rect kSizeableFrame{0, 0, 16, 39};
inline constexpr ui::Rect kDialogFrame{0, 0, 6, 29};
inline constexpr ui::Rect kScreen{0, 0, 1920, 1040};

class HeadlessUi final : public ui::Backend {
  public:
    HeadlessUi() = default;

    std::unique_ptr<ui::NativeForm> CreateForm(ui::Form& form) override;
    std::unique_ptr<ui::NativeControl> CreateControl(ui::Control& control) override;
    std::unique_ptr<ui::NativeTimer> CreateTimer(ui::Timer& timer) override;
    // Runs queued tasks until a terminate request; an empty queue ends the loop too
    // (logged as "loop idle"), since nothing else could ever arrive.
    void RunLoop(ui::Application& app) override;
    // Runs queued tasks until done(); an empty queue ends the run (logged as
    // "modal stalled <class>") so that a test never hangs.
    void RunModalLoop(ui::Application& app, const std::function<bool()>& done) override;
    void Post(std::function<void()> task) override { queue_.push_back(std::move(task)); }
    void WakeUp() override {}
    ui::Rect Screen() const override { return kScreen; }
    // Runs the tasks queued before the call (not those they queue), logged as "pump <n>"
    // when there are any.
    void ProcessPendingMessages() override;

    // A message taken from the queue: offered to the hook slot, dispatched (logged as
    // "dispatch <message>") when the routine did not handle it.
    void PostMessage(ui::Application& app, const ui::Message& message);
    // Runs every queued task now (outside any loop), e.g. pending form releases.
    void RunPending();
    std::size_t Pending() const { return queue_.size(); }

    // Ticks every enabled timer with that name.
    void TickTimers(const std::string& name);

    // Everything the forms did, in order: "create TFrmLogin", "show TFrmLogin",
    // "modal TFrmLogin", "hide TFrmLogin", "destroy TFrmBrowser", "caption TFrmMain <text>",
    // plus lines added by the other headless ports and by tests.
    std::vector<std::string>& log() { return log_; }
    void Log(std::string line) { log_.push_back(std::move(line)); }
    // Log lines that start with prefix, in order.
    std::vector<std::string> LogLines(const std::string& prefix) const;
    int stalls() const { return stalls_; }

    const std::vector<ui::Timer*>& timers() const { return timers_; }
    void ForgetTimer(ui::Timer* timer);

  private:
    void RunOne();

    std::deque<std::function<void()>> queue_;
    std::vector<std::string> log_;
    std::vector<ui::Timer*> timers_;
    int stalls_ = 0;
};

// Records shell verbs as "shell <verb> <file> params=<p> dir=<d> show=<n> owner=<0|1>".
class HeadlessShell final : public windows::Shell {
  public:
    explicit HeadlessShell(HeadlessUi& ui) : ui_(ui) {}
    void Execute(ui::NativeWindow owner, const std::string& verb, const std::string& file,
                 const std::string& parameters, const std::string& directory,
                 int show_command) override;
    struct Call {
        std::string verb, file, parameters, directory;
        int show = 0;
        bool owned = false;
    };
    const std::vector<Call>& calls() const { return calls_; }
    // Throw from Execute after recording the call (the shell call failed).
    bool fail = false;

  private:
    HeadlessUi& ui_;
    std::vector<Call> calls_;
};

// Message boxes answered from a list (then No / Cancel / OK as the dialog seam does),
// logged as "box <caption>|<text>|<buttons>|<icon> -> <answer>".
class HeadlessBoxes final : public ui::MessageBoxes {
  public:
    explicit HeadlessBoxes(HeadlessUi& ui) : ui_(ui) {}
    ui::MsgResult Show(const ui::MessageBoxRequest& request) override;
    std::vector<ui::MsgResult> answers;
    std::vector<ui::MessageBoxRequest> shown;
    // Throw from Show (the box could not be shown).
    bool fail = false;
    // Runs once, while the next box is shown, as the box's own loop would run the queue.
    std::function<void()> while_shown;

  private:
    HeadlessUi& ui_;
};

}  // namespace kelvra::headless
