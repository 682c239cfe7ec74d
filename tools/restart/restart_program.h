// The restart program: PID L|X APPLICATION PARAMETERS "STAGING" COMPONENTS...
// Waits for process PID to end, moves each component named in the components text from
// the staging directory into the application's directory (expanding one in the single-file
// compressed format to its expanded name; refusing, and logging, names that are absolute or
// climb out, and an application path that climbs), and starts the application again with its
// parameters. With "L" it logs to the file named in "KUPDATE.INI".
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::tools {

struct RestartRequest {
    std::uint32_t process_id = 0;
    bool logging = false;
    std::string application;
    std::string parameters;
    std::string staging_dir;
    std::vector<std::string> components;
};

// nullopt when the arguments do not have that form.
std::optional<RestartRequest> ParseRestartArguments(const std::vector<std::string>& args);
// Component names separated by blanks, commas or semicolons.
std::vector<std::string> SplitComponents(const std::string& text);

// What the program needs from the system.
bool WaitForProcessEnd(std::uint32_t pid, std::chrono::milliseconds timeout);
// Moves from to to, replacing to; retried briefly while the target is still locked.
bool MoveReplacing(const std::string& from, const std::string& to);
// Starts application with the parameters (blank-only parameters give none) in dir.
bool StartApplication(const std::string& application, const std::string& parameters,
                      const std::string& dir);
char PathSeparator();

// A component name that stays inside the application folder: a safe cabinet name whose
// parts do not end in "." or a blank (which Windows drops, so ".. " climbs).
bool IsSafeComponentName(const std::string& name);
// An application path without "." or ".." parts or parts ending in "." or a blank, so that
// its folder is the one it names.
bool IsSafeApplicationPath(const std::string& path);

// Moves the request's components from its staging directory into app_dir with move (from,
// to); names that would land anywhere but inside app_dir are refused and logged. 0 when
// every component was moved, otherwise 3.
using ComponentMover = std::function<bool(const std::string& from, const std::string& to)>;
int PlaceComponents(const RestartRequest& request, const std::string& app_dir,
                    const ComponentMover& move);

// The whole run; the process exit code (0 when everything was done).
int RunRestart(const RestartRequest& request);

}  // namespace kelvra::tools
