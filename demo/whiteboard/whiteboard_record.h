// What the whiteboard stand-in was given and where it records it.
//
// Command line: [--record FILE] [course text...]. Without --record the file named by
// KELVRA_WHITEBOARD_RECORD is used (so a whiteboard the client starts records too).
// Each received text is appended as one line: "start <text>" for the command line,
// "3027 <text>" for a message, the text in UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvra::demo {

inline constexpr const char* kWindowClass = "VantleMainFrame";
inline constexpr unsigned kHandOffMessage = 3027;
inline constexpr const char* kHandOffKey = "SOFTWARE\\kelvramsg";
inline constexpr const char* kHandOffValue = "msgbody";

struct WhiteboardOptions {
    std::string record_file;
    std::string course_text;  // the parameters exactly as they arrived; "" when none
};

// Windows: the raw command line after the program name (quotes kept in the course text).
WhiteboardOptions ParseRawParameters(std::string_view parameters);
// Linux: the arguments after the program name, the text ones joined by blanks.
WhiteboardOptions ParseArguments(const std::vector<std::string>& args);

// The raw parameters of a Windows command line: everything after the program token.
std::string_view ParametersOf(std::string_view command_line);

// Appends "<channel> <text>\n" to file ("" records nothing). Returns false on failure.
bool RecordText(const std::string& file, const std::string& channel, const std::string& text);

// The hand-off value from the registry, "" when missing.
std::string ReadHandOffValue();

}  // namespace kelvra::demo
