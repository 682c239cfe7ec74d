// Starting programs for the restart hand-off and the patch step: a shell "open" that is not
// waited for, and a process run to its end.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kelvra::update {

class ProcessRunner {
  public:
    virtual ~ProcessRunner() = default;
    // Shell "open" of program with the parameters, shown, no working directory; not waited
    // for. False when it could not be started.
    virtual bool ShellOpen(const std::string& program, const std::string& params) = 0;
    // Starts command_line as a new process (the program is its first argument; a relative
    // program is found in the current directory first), shown or hidden, and waits without
    // time limit for it to end. Its exit code, or nullopt when it could not be started or
    // its exit code cannot be read.
    virtual std::optional<std::uint32_t> RunAndWait(const std::string& command_line, bool show) = 0;
    virtual std::uint32_t CurrentProcessId() const = 0;
    // The thread's last-error value (GetLastError / errno).
    virtual void SetLastErrorValue(std::uint32_t value) = 0;
    virtual std::uint32_t LastErrorValue() const = 0;
};

ProcessRunner& SystemProcessRunner();

}  // namespace kelvra::update
