#include "update/update_date.h"

#include <cctype>
#include <cstdio>
#include <mutex>

namespace kelvra::update {
namespace {

std::mutex& SettingsMutex() {
    static std::mutex m;
    return m;
}

DateTimeSettings& Settings() {
    static DateTimeSettings s = SystemDateTimeSettings();
    return s;
}

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysIn(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Splits text at sep into unsigned decimal numbers (blanks around them allowed).
bool Numbers(std::string_view text, char sep, int* out, int max, int* count) {
    *count = 0;
    std::size_t i = 0;
    while (true) {
        while (i < text.size() && text[i] == ' ')
            ++i;
        long v = 0;
        std::size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (v < 100000)
                v = v * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || *count == max)
            return false;
        out[(*count)++] = static_cast<int>(v);
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i == text.size())
            return true;
        if (text[i] != sep)
            return false;
        ++i;
    }
}

std::string Two(int v) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

}  // namespace

DateTimeSettings ProcessDateTimeSettings() {
    std::lock_guard lock(SettingsMutex());
    return Settings();
}

void SetProcessDateTimeSettings(const DateTimeSettings& settings) {
    std::lock_guard lock(SettingsMutex());
    Settings() = settings;
}

ScopedDateTimeSettings::ScopedDateTimeSettings(const DateTimeSettings& settings)
    : saved_(ProcessDateTimeSettings()) {
    SetProcessDateTimeSettings(settings);
}

ScopedDateTimeSettings::~ScopedDateTimeSettings() {
    SetProcessDateTimeSettings(saved_);
}

std::optional<LocalDateTime> ParseDate(std::string_view text, const DateTimeSettings& s) {
    // Field order: where d, m and y first occur in the format.
    std::string order;
    for (char c : s.short_date_format) {
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos)
            order.push_back(l);
    }
    if (order.size() != 3)
        order = "dmy";
    int n[3];
    int count = 0;
    if (!Numbers(text, s.date_separator, n, 3, &count) || count != 3)
        return std::nullopt;
    LocalDateTime dt;
    for (int i = 0; i < 3; ++i) {
        if (order[i] == 'd')
            dt.day = n[i];
        else if (order[i] == 'm')
            dt.month = n[i];
        else
            dt.year = n[i];
    }
    if (dt.year < 100)
        dt.year += dt.year < 50 ? 2000 : 1900;  // two-digit years: 1950 to 2049
    if (dt.year > 9999 || dt.month < 1 || dt.month > 12 || dt.day < 1 ||
        dt.day > DaysIn(dt.year, dt.month))
        return std::nullopt;
    return dt;
}

std::optional<LocalDateTime> ParseTime(std::string_view text, const DateTimeSettings& s) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    int pm = -1;
    auto ends_with = [&](std::string_view marker) {
        if (text.size() < marker.size())
            return false;
        for (std::size_t i = 0; i < marker.size(); ++i) {
            if (std::toupper(static_cast<unsigned char>(text[text.size() - marker.size() + i])) !=
                marker[i])
                return false;
        }
        return true;
    };
    if (ends_with("AM") || ends_with("PM")) {
        pm = ends_with("PM") ? 1 : 0;
        text.remove_suffix(2);
    }
    int n[3] = {0, 0, 0};
    int count = 0;
    if (!Numbers(text, s.time_separator, n, 3, &count) || count < 2)
        return std::nullopt;
    if (pm >= 0) {
        if (n[0] < 1 || n[0] > 12)
            return std::nullopt;
        n[0] = n[0] % 12 + (pm ? 12 : 0);
    }
    if (n[0] > 23 || n[1] > 59 || n[2] > 59)
        return std::nullopt;
    LocalDateTime t;
    t.hour = n[0];
    t.minute = n[1];
    t.second = n[2];
    return t;
}

LocalDateTime ReadReleaseDate(std::string_view date, std::string_view time,
                              const DateTimeSettings& engine_settings) {
    // The engine's settings stand in for the process-wide ones while reading.
    ScopedDateTimeSettings scope(engine_settings);
    const DateTimeSettings s = ProcessDateTimeSettings();
    LocalDateTime result = ParseDate(date, s).value_or(kDefaultReleaseDate);
    if (!time.empty()) {
        if (auto t = ParseTime(time, s)) {
            result.hour = t->hour;
            result.minute = t->minute;
            result.second = t->second;
        }
    }
    return result;
}

std::string FormatDateTime(std::string_view pattern, const LocalDateTime& dt,
                           const DateTimeSettings& s) {
    std::string out;
    bool after_hour = false;
    for (std::size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        std::size_t run = 1;
        while (i + run < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[i + run])) == l &&
               std::isalpha(static_cast<unsigned char>(c)))
            ++run;
        if (c == '"' || c == '\'') {
            const std::size_t close = pattern.find(c, i + 1);
            const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            out.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (l == 'a' && pattern.substr(i).size() >= 4) {
            std::string four(pattern.substr(i, 4));
            for (char& ch : four)
                ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (four == "ampm" || (pattern.substr(i).size() >= 5 && four == "am/p")) {
                out += dt.hour < 12 ? "AM" : "PM";
                i += four == "ampm" ? 4 : 5;
                continue;
            }
        }
        const bool twelve = pattern.find("ampm") != std::string_view::npos ||
                            pattern.find("AMPM") != std::string_view::npos;
        switch (l) {
            case 'd':
                out += run >= 2 ? Two(dt.day) : std::to_string(dt.day);
                break;
            case 'm':
                if (after_hour)
                    out += run >= 2 ? Two(dt.minute) : std::to_string(dt.minute);
                else
                    out += run >= 2 ? Two(dt.month) : std::to_string(dt.month);
                break;
            case 'y':
                out += run >= 3 ? std::to_string(dt.year) : Two(dt.year % 100);
                break;
            case 'h': {
                int h = dt.hour;
                if (twelve)
                    h = h % 12 == 0 ? 12 : h % 12;
                out += run >= 2 ? Two(h) : std::to_string(h);
                break;
            }
            case 'n':
                out += run >= 2 ? Two(dt.minute) : std::to_string(dt.minute);
                break;
            case 's':
                out += run >= 2 ? Two(dt.second) : std::to_string(dt.second);
                break;
            case '/':
                out.push_back(s.date_separator);
                break;
            case ':':
                out.push_back(s.time_separator);
                break;
            default:
                out.append(pattern.substr(i, run));
        }
        if (std::isalpha(static_cast<unsigned char>(c)))
            after_hour = l == 'h';
        i += run;
    }
    return out;
}

std::string FormatShortDate(const LocalDateTime& dt, const DateTimeSettings& s) {
    return FormatDateTime(s.short_date_format, dt, s);
}

std::string FormatTime(const LocalDateTime& dt, const DateTimeSettings& s) {
    return FormatDateTime(s.time_format, dt, s);
}

}  // namespace kelvra::update
