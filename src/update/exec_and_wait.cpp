#include "update/exec_and_wait.h"

#include "update/process_runner.h"

namespace kelvra::update {

bool ExecAndWait(ProcessRunner& runner, const ExecHooks& hooks, const std::string& cmd,
                 bool show_window, const std::string& message, const std::string& caption,
                 bool animation) {
    if (hooks.status)
        hooks.status(kExecStatusId, "Exec: " + cmd, kExecStatusId, 0);
    std::unique_ptr<ExecAnimation> window;
    if (animation && hooks.animation)
        window = hooks.animation(caption, message);
    bool result = false;
    if (auto code = runner.RunAndWait(cmd, show_window)) {
        if (*code == 0)
            result = true;
        else
            runner.SetLastErrorValue(*code + 8192);
    }
    window.reset();
    return result;
}

}  // namespace kelvra::update
