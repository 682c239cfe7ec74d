// The restart program's inputs on arbitrary bytes: the hand-off file "KUPDATE.INI" (its log
// file name) and the command line the engine passes, split into arguments and the
// component list.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "restart_program.h"
#include "update/restart_handoff.h"

namespace {

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

bool IsComponentSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == ';';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The log name is one trimmed line of the file.
    const std::string log_name = kelvra::update::ReadRestartIniLogName(bytes);
    Check(log_name.find('\n') == std::string::npos);
    Check(log_name.empty() || (log_name.front() != ' ' && log_name.back() != ' '));
    Check(log_name.size() <= size);

    const auto request =
        kelvra::tools::ParseRestartArguments(kelvra::update::SplitCommandLine(bytes));
    if (!request)
        return 0;
    Check(!request->application.empty());
    for (const std::string& name : request->components) {
        Check(!name.empty());
        for (char c : name)
            Check(!IsComponentSeparator(c));
    }
    // What the engine writes reads back to the same request.
    kelvra::update::RestartCommand command;
    command.process_id = request->process_id;
    command.logging = request->logging;
    command.current_dir = "/opt/kelvra";
    command.separator = '/';
    command.app_name = "kelvraedu";
    command.app_params = "-a";
    command.staging_dir = "/tmp/stage";
    for (const std::string& name : request->components)
        command.components += name + " ";
    const auto again = kelvra::tools::ParseRestartArguments(
        kelvra::update::SplitCommandLine(kelvra::update::RestartCommandLine(command)));
    Check(again && again->process_id == request->process_id && again->logging == request->logging &&
          again->application == "/opt/kelvra/kelvraedu" &&
          again->components == request->components);
    return 0;
}
