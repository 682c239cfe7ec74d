// The engine's side of the restart hand-off and of the patch program: the command lines it
// passes, the hand-off file "KUPDATE.INI" and the restart sequence. The engine's members
// forward here with their own state.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::platform {
class FileSystem;
}

namespace kelvra::update {

inline constexpr const char* kRestartProgram = "kusetup.exe";
inline constexpr const char* kRestartProgramPacked = "kusetup.ex_";
inline constexpr const char* kPatchProgram = "patcher.exe";
inline constexpr const char* kRestartIniFile = "KUPDATE.INI";
inline constexpr const char* kRestartIniSection = "CONFIG";
inline constexpr const char* kRestartIniKey = "LOGFILENAME";

// s wrapped in double quotes when it contains a blank.
std::string QuoteWhenBlank(const std::string& s);

struct RestartCommand {
    std::uint32_t process_id = 0;
    bool logging = false;
    std::string current_dir;
    std::string app_name;
    // The engine's stored parameters; RestartCommandLine replaces them by the quoted form.
    std::string app_params = " ";
    // WinTempDir with UseWinTempDir, else TempDirectory.
    std::string staging_dir;
    std::string components;
    char separator = '\\';
};

// pid, " L "/" X ", the application (current directory + name, quoted when it holds a
// blank), a blank and the parameters (quoted likewise), a blank, the staging directory in
// quotes and a blank, then the components text.
std::string RestartCommandLine(RestartCommand& command);

// "patcher.exe [-v ]PATCH LOCAL" and, with logging, ">> KUPDATE.LOG" right after LOCAL.
std::string PatchCommandLine(bool logging, const std::string& patch_file,
                             const std::string& local_version);

// Splits a command line as the carried programs read it: blanks separate, double quotes
// group and are removed, backslashes are plain characters (so "C:\Temp\" is one argument).
std::vector<std::string> SplitCommandLine(std::string_view line);

// "[CONFIG]" with "LOGFILENAME=" + log_file_name.
std::string RestartIniText(const std::string& log_file_name);
// Writes the hand-off file into documents_dir and returns its path. Throws OsError.
std::string WriteRestartIni(platform::FileSystem& files, const std::string& documents_dir,
                            const std::string& log_file_name);
// LOGFILENAME from a hand-off file's text; "" when missing.
std::string ReadRestartIniLogName(std::string_view text);

// What DoRestart needs from the engine.
struct RestartSteps {
    std::string current_dir;
    // DoStatus(id, param).
    std::function<void(int, const std::string&)> status;
    // DoProgressCancel: true when the user cancelled.
    std::function<bool()> cancelled;
    // OnAppRestart when assigned: answers Allow (starting true).
    std::function<bool()> on_app_restart;
    bool silent_restart = false;
    // Yes/No confirmation box with the given text; true for Yes.
    std::function<bool(const std::string&)> confirm;
    // ExtractUpdater, then the hand-off file.
    std::function<void()> extract_updater;
    std::function<void()> write_restart_ini;
    std::function<std::string()> command_line;
    // Shell "open" of program with parameters, shown; its result is not examined.
    std::function<void(const std::string&, const std::string&)> shell_open;
    std::string restart_program;  // WinTempDir + "kusetup.exe"
    // OnAppDoClose when assigned, otherwise the application's terminate request.
    std::function<void()> close_application;
};

// 959, cancel check, permission, carried program and hand-off file, 958 with the command
// line, the start, and the close. True when the restart was handed off. Errors while
// writing the programs or the file propagate (the application then keeps running).
bool DoRestart(const RestartSteps& steps);

}  // namespace kelvra::update
