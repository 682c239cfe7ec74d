#include "restart_program.h"

#include <algorithm>
#include <cctype>
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

bool IsCompressed(const std::string& path) {
    static const char kMagic[] = "SZDD\x88\xF0\x27\x33";
    char head[sizeof kMagic - 1] = {};
    // Closed before the move: Windows does not move a file that is open.
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    in.read(head, sizeof head);
    return in.gcount() == sizeof head && std::memcmp(head, kMagic, sizeof head) == 0;
}

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string u = path.u8string();
    return std::string(u.begin(), u.end());
}

// A compressed component is expanded in the staging folder and placed under its expanded
// name, unless it is the restart program's packed file or the installed file of the same
// name is compressed too: the Linux client keeps the restart program it carries packed, and
// expanding it would write over this very program.
bool PrepareComponent(const std::string& from, std::string& prepared, std::string& target) {
    std::string source = from;
    const bool keep_packed =
        platform::FileNameOf(from, PathSeparator()) == update::kRestartProgramPacked ||
        IsCompressed(target);
    if (!keep_packed && IsCompressed(from)) {
        try {
            source = update::ExpandLZFile(from);
        } catch (const std::exception& e) {
            Log("Unable to expand " + from + ": " + e.what());
            return false;
        }
        target = JoinDir(platform::DirectoryOf(target, PathSeparator()),
                         platform::FileNameOf(source, PathSeparator()));
        prepared = target + kPreparedSuffix;
    }
    // A release may bring a folder the installed one lacks.
    const auto folder = std::filesystem::u8path(prepared).parent_path();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        if (!std::filesystem::create_directories(folder, ec)) {
            Log("Unable to create " + Utf8(folder) + ": " + ec.message());
            return false;
        }
        Log("Created " + Utf8(folder));
    }
    return MoveToPrepared(source, prepared, target);
}

void RemoveFile(const std::string& path) {
    std::error_code ec;  // a file that is already gone is what was wanted
    std::filesystem::remove(std::filesystem::u8path(path), ec);
}

bool SameName(const std::string& a, const std::string& b) {
    if (PathSeparator() == '/')
        return a == b;
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

struct Prepared {
    std::string from;
    std::string prepared;
    std::string target;
};

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

ComponentSteps SystemComponentSteps() {
    return {PrepareComponent, ReplaceWithPrepared, RemoveFile};
}

void RemoveLeftovers(const std::string& app_dir) {
    namespace fs = std::filesystem;
    const std::string suffix = kPreparedSuffix;
    std::error_code ec;
    std::vector<fs::path> found;
    for (fs::recursive_directory_iterator
             it(fs::u8path(app_dir), fs::directory_options::skip_permission_denied, ec),
         end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8(it->path().filename());
        if (name.size() > suffix.size() &&
            SameName(name.substr(name.size() - suffix.size()), suffix) && !it->is_directory(ec))
            found.push_back(it->path());
    }
    for (const fs::path& path : found) {
        RemoveFile(Utf8(path));
        Log("Removed " + Utf8(path) + " left by an interrupted update");
    }
}

int PlaceComponents(const RestartRequest& r, const std::string& app_dir,
                    const ComponentSteps& steps) {
    int result = 0;
    std::vector<Prepared> ready;
    bool prepared_all = true;
    for (const std::string& name : r.components) {
        // Absolute names and names that climb with ".." would write outside the folder.
        if (!IsSafeComponentName(name)) {
            Log("Refused " + name + ": outside the application folder");
            result = 3;
            continue;
        }
        Prepared p{JoinDir(r.staging_dir, name), "", JoinDir(app_dir, name)};
        p.prepared = p.target + kPreparedSuffix;
        if (!steps.prepare(p.from, p.prepared, p.target)) {
            Log("Unable to prepare " + p.from + " for " + p.target);
            prepared_all = false;
            break;
        }
        ready.push_back(p);
    }
    if (!prepared_all) {
        for (const Prepared& p : ready)
            steps.remove(p.prepared);
        Log("Nothing replaced");
        return 3;
    }
    // The application's executable goes last: once it is new, so is everything else.
    std::stable_partition(ready.begin(), ready.end(),
                          [&](const Prepared& p) { return !SameName(p.target, r.application); });
    for (std::size_t i = 0; i < ready.size(); ++i) {
        if (steps.replace(ready[i].prepared, ready[i].target)) {
            Log("Moved " + ready[i].from + " to " + ready[i].target);
            continue;
        }
        Log("Unable to move " + ready[i].from + " to " + ready[i].target);
        for (std::size_t j = i; j < ready.size(); ++j)
            steps.remove(ready[j].prepared);
        return 3;
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
    RemoveLeftovers(app_dir);
    const int result = PlaceComponents(r, app_dir, SystemComponentSteps());
    if (!StartApplication(r.application, r.parameters, app_dir)) {
        Log("Unable to start " + r.application);
        return 4;
    }
    Log("Started " + r.application + " " + r.parameters);
    return result;
}

}  // namespace kelvra::tools
