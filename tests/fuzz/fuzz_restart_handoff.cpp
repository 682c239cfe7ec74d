// The restart program's inputs on arbitrary bytes: the hand-off file "KUPDATE.INI" (its log
// file name) and the command line the engine passes, split into arguments and the
// component list, whose placement never moves a file from outside the staging folder or to
// anywhere but inside the application folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_sandbox.h"
#include "platform/file_system.h"
#include "restart_program.h"
#include "update/restart_handoff.h"

namespace {

using kelvra::fuzz::Check;

// path is dir joined with a name that lands strictly below dir (an empty dir is the current
// folder, so the name must be relative).
bool LandsBelow(const std::string& dir, const std::string& path) {
    if (path.compare(0, dir.size(), dir) != 0)
        return false;
    const std::string_view rest = std::string_view(path).substr(dir.size());
    if (dir.empty() && !rest.empty() && (rest[0] == '/' || rest[0] == '\\'))
        return false;
    return kelvra::fuzz::DepthBelow(rest) >= 1;
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
    // The placement, with steps that only record: everything prepared and replaced stays
    // inside both folders, and the result says whether every component was placed.
    const std::string app_dir = kelvra::platform::DirectoryOf(request->application, '/');
    std::size_t moves = 0;
    kelvra::tools::ComponentSteps steps;
    steps.prepare = [&](const std::string& from, std::string& prepared, std::string& target) {
        Check(LandsBelow(request->staging_dir, from));
        Check(LandsBelow(app_dir, prepared) && LandsBelow(app_dir, target));
        return true;
    };
    steps.replace = [&](const std::string& prepared, const std::string& target) {
        Check(LandsBelow(app_dir, prepared) && LandsBelow(app_dir, target));
        ++moves;
        return true;
    };
    steps.remove = [](const std::string&) { Check(false); };  // nothing fails to be placed
    const int placed = kelvra::tools::PlaceComponents(*request, app_dir, steps);
    Check(placed == (moves == request->components.size() ? 0 : 3));
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
