#include "restart_program.h"

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "platform/file_system.h"
#include "tool_common.h"
#include "update/cab_extract.h"
#include "update/restart_handoff.h"
#include "update/update_log.h"

namespace kelvra::tools {
namespace {

constexpr std::chrono::seconds kWaitLimit{120};

std::string JoinDir(const std::string& dir, const std::string& name) {
    if (dir.empty())
        return name;
    char last = dir.back();
    return (last == '/' || last == PathSeparator()) ? dir + name : dir + PathSeparator() + name;
}

void Log(const std::string& text) {
    LogLine("kusetup", text);
}

// Whether a path part would name something other than itself: ".." climbs, and Windows
// drops trailing dots and blanks, so ".. " climbs too and "bin." is "bin".
bool IsTrickyPart(std::string_view part) {
    return part != "." && !part.empty() && (part.back() == '.' || part.back() == ' ');
}

template <typename Check>
bool AllParts(std::string_view path, Check check) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = path.size();
        if (!check(path.substr(start, end - start)))
            return false;
        start = end + 1;
    }
    return true;
}

// A component staged in the single-file compressed format is expanded in the staging folder
// and placed under its expanded name; any other is moved as it is. So is the restart
// program's own packed file, which the Linux client keeps packed beside it and which would
// expand over this very program.
bool PlaceComponent(const std::string& from, const std::string& to) {
    if (platform::FileNameOf(from, PathSeparator()) == update::kRestartProgramPacked)
        return MoveReplacing(from, to);
    static const char kMagic[] = "SZDD\x88\xF0\x27\x33";
    char head[sizeof kMagic - 1] = {};
    {
        // Closed before the move: Windows does not move a file that is open.
        std::ifstream in(std::filesystem::u8path(from), std::ios::binary);
        in.read(head, sizeof head);
    }
    if (std::memcmp(head, kMagic, sizeof head) != 0)
        return MoveReplacing(from, to);
    std::string expanded;
    try {
        expanded = update::ExpandLZFile(from);
    } catch (const std::exception& e) {
        Log("Unable to expand " + from + ": " + e.what());
        return false;
    }
    const std::string name = platform::FileNameOf(expanded, PathSeparator());
    return MoveReplacing(expanded, JoinDir(platform::DirectoryOf(to, PathSeparator()), name));
}

}  // namespace

bool IsSafeComponentName(const std::string& name) {
    return update::IsSafeCabinetName(name) &&
           AllParts(name, [](std::string_view part) { return !IsTrickyPart(part); });
}

bool IsSafeApplicationPath(const std::string& path) {
    return !path.empty() &&
           AllParts(path, [](std::string_view part) { return part != "." && !IsTrickyPart(part); });
}

std::vector<std::string> SplitComponents(const std::string& text) {
    std::vector<std::string> names;
    std::string current;
    for (char c : text + " ") {
        if (c == ' ' || c == '\t' || c == ',' || c == ';') {
            if (!current.empty())
                names.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    return names;
}

std::optional<RestartRequest> ParseRestartArguments(const std::vector<std::string>& args) {
    if (args.size() < 5)
        return std::nullopt;
    RestartRequest r;
    const std::string& pid = args[0];
    auto [end, ec] = std::from_chars(pid.data(), pid.data() + pid.size(), r.process_id);
    if (ec != std::errc() || end != pid.data() + pid.size())
        return std::nullopt;
    if (args[1] != "L" && args[1] != "X")
        return std::nullopt;
    r.logging = args[1] == "L";
    r.application = args[2];
    r.parameters = args[3];
    r.staging_dir = args[4];
    if (r.application.empty())
        return std::nullopt;
    std::string text;
    for (std::size_t i = 5; i < args.size(); ++i)
        text += args[i] + " ";
    r.components = SplitComponents(text);
    return r;
}

int PlaceComponents(const RestartRequest& r, const std::string& app_dir,
                    const ComponentMover& move) {
    int result = 0;
    for (const std::string& name : r.components) {
        // Absolute names and names that climb with ".." would write outside the folder.
        if (!IsSafeComponentName(name)) {
            Log("Refused " + name + ": outside the application folder");
            result = 3;
            continue;
        }
        const std::string from = JoinDir(r.staging_dir, name);
        const std::string to = JoinDir(app_dir, name);
        if (move(from, to)) {
            Log("Moved " + from + " to " + to);
        } else {
            Log("Unable to move " + from + " to " + to);
            result = 3;
        }
    }
    return result;
}

int RunRestart(const RestartRequest& r) {
    if (r.logging) {
        auto& files = platform::SystemFileSystem();
        std::string name = "KUPDATE.LOG";
        // Where the engine wrote the hand-off file: the documents folder, or the current
        // directory when there is none.
        const std::string ini =
            JoinDir(update::DocumentsFolder().value_or(std::string()), update::kRestartIniFile);
        if (files.FileExists(ini)) {
            std::string named = update::ReadRestartIniLogName(files.ReadFile(ini));
            if (!named.empty())
                name = named;
        }
        SetLogFile(name);
    }
    // The components go into the application's folder: it must be the folder it names.
    if (!IsSafeApplicationPath(r.application)) {
        Log("Refused " + r.application + ": not a plain application path; nothing replaced");
        return 3;
    }
    Log("Waiting for process " + std::to_string(r.process_id) + " to end");
    if (!WaitForProcessEnd(r.process_id, kWaitLimit)) {
        Log("Process " + std::to_string(r.process_id) + " did not end; nothing replaced");
        return 2;
    }
    const std::string app_dir = platform::DirectoryOf(r.application, PathSeparator());
    const int result = PlaceComponents(r, app_dir, PlaceComponent);
    if (!StartApplication(r.application, r.parameters, app_dir)) {
        Log("Unable to start " + r.application);
        return 4;
    }
    Log("Started " + r.application + " " + r.parameters);
    return result;
}

}  // namespace kelvra::tools
