// The engine's members of the restart hand-off and the patch program: they give the free
// functions of restart_handoff, carried_programs and exec_and_wait the engine's state.
#include "platform/file_system.h"
#include "ui/application.h"
#include "update/carried_programs.h"
#include "update/exec_and_wait.h"
#include "update/exec_animation_window.h"
#include "update/local_files.h"
#include "update/process_runner.h"
#include "update/restart_handoff.h"
#include "update/update_engine.h"
#include "update/update_log.h"

namespace kelvra::update {
namespace {

// An animation window made on the GUI thread is also freed there.
class GuiThreadAnimation final : public ExecAnimation {
  public:
    GuiThreadAnimation(std::unique_ptr<ExecAnimation> inner,
                       std::function<void(const std::function<void()>&)> on_gui)
        : inner_(std::move(inner)), on_gui_(std::move(on_gui)) {}
    ~GuiThreadAnimation() override {
        on_gui_([this] { inner_.reset(); });
    }

  private:
    std::unique_ptr<ExecAnimation> inner_;
    std::function<void(const std::function<void()>&)> on_gui_;
};

}  // namespace

void TUpdateEngine::ExtractUpdater() {
    update::ExtractUpdater(platform::SystemFileSystem(), WinTempDir());
}

void TUpdateEngine::ExtractPatcher() {
    auto& files = platform::SystemFileSystem();
    update::ExtractPatcher(files, UseWinTempDir ? WinTempDir() : CurrentDirectory());
}

void TUpdateEngine::DoRestart() {
    auto& files = platform::SystemFileSystem();
    const std::string current_dir = CurrentDirectory();
    RestartSteps steps;
    steps.current_dir = current_dir;
    steps.status = [this](int id, const std::string& param) { DoStatus(id, param, 0, 0); };
    steps.cancelled = [this] {
        bool cancel = false;
        DoProgressCancel(cancel);
        return cancel;
    };
    if (OnAppRestart)
        steps.on_app_restart = [this] {
            bool allow = true;
            OnAppRestart(*this, allow);
            return allow;
        };
    steps.silent_restart = FSilentRestart;
    steps.confirm = [this](const std::string& text) { return Confirm(text); };
    steps.extract_updater = [this] { ExtractUpdater(); };
    steps.write_restart_ini = [&files] {
        WriteRestartIni(files, DocumentsFolder().value_or(std::string()), ProcessLogFileName());
    };
    steps.command_line = [&] {
        RestartCommand command;
        command.process_id = Processes().CurrentProcessId();
        command.logging = Logging();
        command.current_dir = current_dir;
        command.app_name = FAppName;
        command.app_params = FAppParams;
        command.staging_dir = UseWinTempDir ? WinTempDir() : TempDirectory;
        command.components = FAppComps;
        command.separator = files.Separator();
        std::string line = RestartCommandLine(command);
        FAppParams = command.app_params;
        return line;
    };
    // Whether the restart program could be started is not examined: the application ends.
    steps.shell_open = [this](const std::string& program, const std::string& params) {
        Processes().ShellOpen(program, params);
    };
    steps.restart_program = WinTempDir() + kRestartProgram;
    steps.close_application = [this] {
        if (OnAppDoClose)
            OnAppDoClose(*this);
        else if (app_ != nullptr)
            app_->Terminate();
    };
    update::DoRestart(steps);
}

bool TUpdateEngine::ExecAndWait(const std::string& cmd, bool show_window,
                                const std::string& message, const std::string& caption,
                                bool animation) {
    ExecHooks hooks;
    hooks.status = [this, &cmd](int id, const std::string&, int status_code, int error_code) {
        DoStatus(id, cmd, status_code, error_code);
    };
    if (app_ != nullptr) {
        hooks.animation = [this](const std::string& c, const std::string& m) {
            std::unique_ptr<ExecAnimation> window;
            OnGuiThread([&] { window = ExecAnimationWindows(*app_)(c, m); });
            return std::make_unique<GuiThreadAnimation>(
                std::move(window),
                [this](const std::function<void()>& task) { OnGuiThread(task); });
        };
    }
    return update::ExecAndWait(Processes(), hooks, cmd, show_window, message, caption, animation);
}

void TUpdateEngine::ApplyPatchFile(const std::string& patch_file,
                                   const std::string& local_version) {
    if (utility_ != nullptr && ApplyPatch && !LocalFileExists(kPatchProgram))
        ExtractPatcher();
    bool show = true, animation = false;
    std::string message, caption;
    if (utility_ != nullptr) {
        show = utility_->ShowWindow;
        animation = utility_->ShowAnimation;
        message = utility_->StatusMessage;
        caption = utility_->StatusCaption;
    }
    // The patch program's result is not used.
    ExecAndWait(PatchCommandLine(Logging(), patch_file, local_version), show, message, caption,
                animation);
}

}  // namespace kelvra::update
