// ExecAndWait: run a program to its end, optionally under a small animation window.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace kelvra::update {

class ProcessRunner;

inline constexpr int kExecStatusId = 18;

// The window shown while the program runs; closed when the object goes.
class ExecAnimation {
  public:
    virtual ~ExecAnimation() = default;
};

struct ExecHooks {
    // DoStatus with a ready text: (id, text, status code, error code).
    std::function<void(int, const std::string&, int, int)> status;
    // Creates and shows the animation window (caption, message); may be empty.
    std::function<std::unique_ptr<ExecAnimation>(const std::string&, const std::string&)> animation;
};

// Status 18 "Exec: " + cmd; the animation window when asked for; the program run to its
// end. True for exit code 0; any other exit code sets the last-error value to code + 8192.
bool ExecAndWait(ProcessRunner& runner, const ExecHooks& hooks, const std::string& cmd,
                 bool show_window, const std::string& message, const std::string& caption,
                 bool animation);

}  // namespace kelvra::update
