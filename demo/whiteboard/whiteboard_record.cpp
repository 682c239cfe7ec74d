#include "whiteboard_record.h"

#include <cstdlib>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/registry.h"

namespace kelvra::demo {
namespace {

std::string_view SkipBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

// One token: quoted (quotes removed) or up to the next blank.
std::string TakeToken(std::string_view& s) {
    s = SkipBlanks(s);
    std::string token;
    if (!s.empty() && s.front() == '"') {
        const std::size_t end = s.find('"', 1);
        token = std::string(s.substr(1, end == std::string_view::npos ? s.npos : end - 1));
        s.remove_prefix(end == std::string_view::npos ? s.size() : end + 1);
    } else {
        const std::size_t end = s.find_first_of(" \t");
        token = std::string(s.substr(0, end));
        s.remove_prefix(end == std::string_view::npos ? s.size() : end);
    }
    return token;
}

std::string DefaultRecordFile() {
    const char* env = std::getenv("KELVRA_WHITEBOARD_RECORD");
    return env ? env : "";
}

}  // namespace

std::string_view ParametersOf(std::string_view command_line) {
    TakeToken(command_line);
    return SkipBlanks(command_line);
}

WhiteboardOptions ParseRawParameters(std::string_view parameters) {
    WhiteboardOptions options;
    options.record_file = DefaultRecordFile();
    std::string_view rest = SkipBlanks(parameters);
    if (rest.substr(0, 9) == "--record " || rest == "--record") {
        rest.remove_prefix(8);
        options.record_file = TakeToken(rest);
        rest = SkipBlanks(rest);
    }
    options.course_text = std::string(rest);
    return options;
}

WhiteboardOptions ParseArguments(const std::vector<std::string>& args) {
    WhiteboardOptions options;
    options.record_file = DefaultRecordFile();
    std::size_t i = 0;
    if (args.size() >= 2 && args[0] == "--record") {
        options.record_file = args[1];
        i = 2;
    }
    for (; i < args.size(); ++i) {
        if (!options.course_text.empty())
            options.course_text += ' ';
        options.course_text += args[i];
    }
    return options;
}

bool RecordText(const std::string& file, const std::string& channel, const std::string& text) {
    if (file.empty())
        return true;
    try {
        platform::SystemFileSystem().AppendFile(file, channel + " " + text + "\n");
        return true;
    } catch (const Error&) {
        return false;
    }
}

std::string ReadHandOffValue() {
    try {
        auto key = platform::SystemRegistry().Open(platform::RegistryHive::CurrentUser, kHandOffKey,
                                                   platform::RegistryAccess::Read);
        if (!key)
            return "";
        auto value = key->Query(kHandOffValue);
        return value ? value->TextValue() : "";
    } catch (const Error& e) {
        return std::string("<unreadable: ") + e.what() + ">";
    }
}

}  // namespace kelvra::demo
