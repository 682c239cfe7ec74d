// The restart program: PID L|X APPLICATION PARAMETERS "STAGING" COMPONENTS...
// Waits for process PID to end, places each component named in the components text from
// the staging directory in the application's directory (expanding one in the single-file
// compressed format to its expanded name; all prepared before any is replaced; refusing, and
// logging, names that are absolute or climb out, and an application path that climbs), and starts
// the application again with its parameters. With "L" it logs to the file named in "KUPDATE.INI".
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
// Puts from at prepared, a name beside target in the application folder: a rename where both
// lie on one volume, otherwise a copy created at prepared. Whatever stands at prepared is
// removed first and never written through. prepared takes target's permissions when target
// exists, and is on the disk when this returns.
bool MoveToPrepared(const std::string& from, const std::string& prepared,
                    const std::string& target);
// Renames prepared over target (the same folder); retried briefly while target is locked.
bool ReplaceWithPrepared(const std::string& prepared, const std::string& target);
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

// A component is first prepared under its target's name with this suffix, then renamed
// over the target.
inline constexpr const char* kPreparedSuffix = ".kunew";

// How one component reaches the application folder.
struct ComponentSteps {
    // Readies from (in the staging folder) at prepared beside target; the name of what was
    // prepared may differ from the component's (an expanded compressed file): the target is
    // then changed through the reference.
    std::function<bool(const std::string& from, std::string& prepared, std::string& target)>
        prepare;
    std::function<bool(const std::string& prepared, const std::string& target)> replace;
    std::function<void(const std::string& path)> remove;
};

// Places the request's components from its staging directory in app_dir as nearly all or
// nothing as the file system allows: every component is prepared beside its target first;
// when one cannot be, whatever was prepared is removed and nothing is replaced. Then each
// prepared file is renamed over its target, the application's executable last, so that a
// process killed at any moment leaves every file whole, and a new executable only once all
// the others are new. Names that would land anywhere but inside app_dir are refused, logged
// and left out. 0 when every component was placed, otherwise 3.
int PlaceComponents(const RestartRequest& request, const std::string& app_dir,
                    const ComponentSteps& steps);
// The steps on the real file system: compressed components expanded, except where the
// application keeps the installed file compressed too.
ComponentSteps SystemComponentSteps();
// Removes prepared files that a killed run left anywhere below app_dir.
void RemoveLeftovers(const std::string& app_dir);

// The whole run; the process exit code (0 when everything was done).
int RunRestart(const RestartRequest& request);

}  // namespace kelvra::tools
