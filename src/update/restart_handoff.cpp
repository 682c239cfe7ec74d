#include "update/restart_handoff.h"

#include "platform/file_system.h"
#include "update/update_log.h"

namespace kelvra::update {

std::string QuoteWhenBlank(const std::string& s) {
    return s.find(' ') == std::string::npos ? s : "\"" + s + "\"";
}

std::string RestartCommandLine(RestartCommand& c) {
    std::string app = c.current_dir;
    if (app.empty() || app.back() != c.separator)
        app += c.separator;
    app += c.app_name;
    c.app_params = QuoteWhenBlank(c.app_params);
    return std::to_string(c.process_id) + (c.logging ? " L " : " X ") + QuoteWhenBlank(app) + " " +
           c.app_params + " \"" + c.staging_dir + "\" " + c.components;
}

std::string PatchCommandLine(bool logging, const std::string& patch_file,
                             const std::string& local_version) {
    if (logging)
        return std::string(kPatchProgram) + " -v " + patch_file + " " + local_version +
               ">> KUPDATE.LOG";
    return std::string(kPatchProgram) + " " + patch_file + " " + local_version;
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::string current;
    bool in_arg = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            in_arg = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (in_arg)
                args.push_back(current);
            current.clear();
            in_arg = false;
        } else {
            current += c;
            in_arg = true;
        }
    }
    if (in_arg)
        args.push_back(current);
    return args;
}

std::string RestartIniText(const std::string& log_file_name) {
    return "[" + std::string(kRestartIniSection) + "]\r\n" + kRestartIniKey + "=" + log_file_name +
           "\r\n";
}

std::string WriteRestartIni(platform::FileSystem& files, const std::string& documents_dir,
                            const std::string& log_file_name) {
    std::string path = documents_dir;
    if (!path.empty() && path.back() != files.Separator() && path.back() != '/')
        path += files.Separator();
    path += kRestartIniFile;
    files.ReplaceAtomically(path, RestartIniText(log_file_name));
    return path;
}

std::string ReadRestartIniLogName(std::string_view text) {
    bool in_section = false;
    std::size_t pos = 0;
    auto upper = [](std::string s) {
        for (char& c : s) {
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        }
        return s;
    };
    auto trim = [](std::string s) {
        std::size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
        return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
    };
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line = trim(std::string(text.substr(pos, end - pos)));
        pos = end + 1;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            in_section = upper(trim(line.substr(1, line.size() - 2))) == kRestartIniSection;
        } else if (in_section) {
            std::size_t eq = line.find('=');
            if (eq != std::string::npos && upper(trim(line.substr(0, eq))) == kRestartIniKey)
                return trim(line.substr(eq + 1));
        }
    }
    return "";
}

bool DoRestart(const RestartSteps& s) {
    s.status(959, s.current_dir);
    if (s.cancelled && s.cancelled())
        return false;
    bool allow = true;
    if (s.on_app_restart) {
        allow = s.on_app_restart();
    } else if (!s.silent_restart) {
        allow = s.confirm(std::string(StatusMessageText(911)));
    }
    if (!allow)
        return false;
    s.extract_updater();
    s.write_restart_ini();
    std::string line = s.command_line();
    s.status(958, line);
    s.shell_open(s.restart_program, line);
    s.close_application();
    return true;
}

}  // namespace kelvra::update
