// The update log: numbered status messages with time stamps and raw lines appended to a
// text file (ANSI code page, CR LF), and the status event.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "update/update_date.h"

namespace kelvra::update {

// The text of a message id ("" for an id without text).
std::string_view StatusMessageText(int id);
// The text with its "%s" replaced by param (a text without "%s" ignores it).
std::string FormatStatusMessage(int id, std::string_view param);
// "<stamp> : [<id>] <text> (Status:<s>) (Error:<e>)"; the stamp is
// "dd/mm/yyyy hh:nn:ss" with the separators of settings.
std::string StatusLogLine(const LocalDateTime& now, const DateTimeSettings& settings, int id,
                          std::string_view text, int status_code, int error_code);

// The process-wide log file name (default "KUPDATE.LOG"); every engine writes to the one
// set last.
std::string ProcessLogFileName();
void SetProcessLogFileName(std::string name);

// A name holding "\", "/" or ":" is used unchanged; otherwise documents folder +
// separator + name, or the bare name when there is no documents folder.
std::string ResolveLogPath(std::string_view name, const std::optional<std::string>& documents,
                           char separator);
// The user's documents folder (Win32: CSIDL_PERSONAL; Linux: XDG_DOCUMENTS_DIR from
// user-dirs.dirs or the environment, else ~/Documents); nullopt when it cannot be
// determined (Linux: also when that folder does not exist).
std::optional<std::string> DocumentsFolder();

// Appends s and CR LF (in the ANSI code page) to the resolved process-wide log file,
// creating it when missing. Throws OsError when it cannot be written.
void WriteLogLine(std::string_view s);

class UpdateLog {
  public:
    // OnStatus(StatusStr, StatusCode, ErrCode); the engine adds its Sender.
    using StatusHandler =
        std::function<void(const std::string& text, int status_code, int error_code)>;
    using Clock = std::function<LocalDateTime()>;

    UpdateLog();

    bool Logging() const { return logging_; }
    void SetLogging(bool on) { logging_ = on; }
    // LogFileName: setting it also sets the process-wide name.
    const std::string& LogFileName() const { return file_name_; }
    void SetLogFileName(std::string name);

    StatusHandler on_status;
    // Source of the time stamps (the local clock unless a test replaces it).
    Clock clock;

    // Writes the numbered line when Logging, then raises on_status with the formatted
    // text. Write failures propagate as OsError.
    void DoStatus(int id, std::string_view param, int status_code, int error_code);
    // A raw line, written whether or not Logging is on.
    void AddToLog(std::string_view s);

  private:
    bool logging_ = false;
    std::string file_name_;
};

}  // namespace kelvra::update
