// Dates and times of the update engine: the control file's release dates, file times, the
// log's time stamps, and the process-wide date and time settings they are written with.
#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace kelvra::update {

// A local date and time to the second.
struct LocalDateTime {
    int year = 1980;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    auto operator<=>(const LocalDateTime&) const = default;
    bool HasTime() const { return hour != 0 || minute != 0 || second != 0; }
};

// 1 January 1980, 00:00: the value of a date that does not read.
inline constexpr LocalDateTime kDefaultReleaseDate{};

// Date and time patterns: "d"/"dd", "m"/"mm" (minutes right after an hour), "yy"/"yyyy",
// "h"/"hh", "n"/"nn", "s"/"ss", "ampm", "am/pm"; "/" and ":" stand for the separators;
// letters are matched without regard to case; text in quotes is literal.
struct DateTimeSettings {
    std::string short_date_format = "dd/mm/yyyy";
    char date_separator = '/';
    std::string time_format = "hh:nn";
    char time_separator = ':';
};

// The process-wide settings (initialised from the user's locale on first use). Reads and
// writes are serialised; ScopedDateTimeSettings replaces them for a scope.
DateTimeSettings ProcessDateTimeSettings();
void SetProcessDateTimeSettings(const DateTimeSettings& settings);
// The user's locale settings as the platform gives them.
DateTimeSettings SystemDateTimeSettings();

// Installs settings process-wide and restores the previous ones when it goes, also when
// the scope is left by an exception.
class ScopedDateTimeSettings {
  public:
    explicit ScopedDateTimeSettings(const DateTimeSettings& settings);
    ~ScopedDateTimeSettings();
    ScopedDateTimeSettings(const ScopedDateTimeSettings&) = delete;
    ScopedDateTimeSettings& operator=(const ScopedDateTimeSettings&) = delete;

  private:
    DateTimeSettings saved_;
};

// Day, month and year separated by date_separator, in the order "d", "m" and "y" first
// occur in short_date_format. nullopt for anything that is not a real date.
std::optional<LocalDateTime> ParseDate(std::string_view text, const DateTimeSettings& s);
// Hours and minutes (seconds optional) separated by time_separator, with an optional AM/PM
// marker. nullopt when it does not read. Only the time fields are set.
std::optional<LocalDateTime> ParseTime(std::string_view text, const DateTimeSettings& s);

// The control file's release date: date + time with the engine's settings, installed
// process-wide while reading. A date that does not read gives 1 January 1980; a time that
// does not read adds nothing.
LocalDateTime ReadReleaseDate(std::string_view date, std::string_view time,
                              const DateTimeSettings& engine_settings);

// Writes dt with a pattern; "/" and ":" become the settings' separators.
std::string FormatDateTime(std::string_view pattern, const LocalDateTime& dt,
                           const DateTimeSettings& s);
// The date in the short date format of s.
std::string FormatShortDate(const LocalDateTime& dt, const DateTimeSettings& s);
// The time in the time format of s.
std::string FormatTime(const LocalDateTime& dt, const DateTimeSettings& s);

// Current local time from the platform clock.
LocalDateTime CurrentLocalTime();

}  // namespace kelvra::update
