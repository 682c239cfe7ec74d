// What the carried programs share: their arguments as the engine's command lines give them,
// and log lines appended to the update log named in the restart hand-off file.
#pragma once

#include <string>
#include <vector>

namespace kelvra::tools {

// The arguments after the program name. Windows reads the raw command line and splits it
// as the engine writes it (quotes group, backslashes are plain); Linux takes argv as the
// client's process runner split it the same way.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Uses name (relative names live in the documents folder) for LogLine.
void SetLogFile(const std::string& name);
// "<yyyy-mm-dd hh:mm:ss> <program>: <text>" appended to the log file when one is set;
// failures to write are ignored (the program's work goes on).
void LogLine(const std::string& program, const std::string& text);

}  // namespace kelvra::tools
