// Linux: last modification time of a file in local time.
#include <sys/stat.h>

#include <cctype>
#include <ctime>
#include <string>

#include "update/file_checks.h"

namespace kelvra::update {

std::optional<LocalDateTime> FileModifiedTime(std::string_view path) {
    struct stat st {};
    if (::stat(std::string(path).c_str(), &st) != 0)
        return std::nullopt;
    std::tm tm{};
    if (!localtime_r(&st.st_mtime, &tm))
        return std::nullopt;
    return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                         tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

LocalDateTime CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                         tm.tm_hour,        tm.tm_min,     tm.tm_sec};
}

}  // namespace kelvra::update

#include <langinfo.h>

namespace kelvra::update {
namespace {

// "%d/%m/%Y" -> "dd/mm/yyyy" with its separator.
std::string FromStrftime(const char* fmt, char* separator) {
    std::string out;
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != ' ' && *separator == 0)
                *separator = *p;
            out.push_back(*p == *separator ? (out.find('h') != std::string::npos ? ':' : '/') : *p);
            continue;
        }
        switch (*++p) {
            case 'd':
            case 'e':
                out += "dd";
                break;
            case 'm':
                out += "mm";
                break;
            case 'Y':
                out += "yyyy";
                break;
            case 'y':
                out += "yy";
                break;
            case 'H':
            case 'I':
                out += "hh";
                break;
            case 'M':
                out += "nn";
                break;
            case 'S':
                out += "ss";
                break;
            case 'p':
                out += "ampm";
                break;
            case '\0':
                return out;
            default:
                break;
        }
    }
    return out;
}

}  // namespace

DateTimeSettings SystemDateTimeSettings() {
    DateTimeSettings s;
    char date_sep = 0, time_sep = 0;
    const std::string date = FromStrftime(nl_langinfo(D_FMT), &date_sep);
    const std::string time = FromStrftime(nl_langinfo(T_FMT), &time_sep);
    if (!date.empty() && date_sep) {
        s.short_date_format = date;
        s.date_separator = date_sep;
    }
    if (!time.empty() && time_sep) {
        s.time_format = time;
        s.time_separator = time_sep;
    }
    return s;
}

}  // namespace kelvra::update
