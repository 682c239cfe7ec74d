// Windows: last modification time of a file in local time.
#include <windows.h>

#include "platform/win32/wide.h"
#include "update/file_checks.h"

namespace kelvra::update {
namespace {

LocalDateTime FromSystemTime(const SYSTEMTIME& st) {
    return LocalDateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace

std::optional<LocalDateTime> FileModifiedTime(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(platform::win32::Widen(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToSystemTime(&local, &st))
        return std::nullopt;
    return FromSystemTime(st);
}

LocalDateTime CurrentLocalTime() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return FromSystemTime(st);
}

}  // namespace kelvra::update

namespace kelvra::update {
namespace {

std::string LocaleText(LCTYPE type) {
    wchar_t buffer[128] = {};
    const int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, buffer, 128);
    return n > 1 ? platform::win32::Narrow(std::wstring_view(buffer, n - 1)) : std::string();
}

// Windows patterns use M for months, m for minutes and tt for the AM/PM marker.
std::string FromLocalePattern(const std::string& p) {
    std::string out;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const char c = p[i];
        if (c == 'M')
            out.push_back('m');
        else if (c == 'm')
            out.push_back('n');
        else if (c == 'H')
            out.push_back('h');
        else if (c == 't') {
            while (i + 1 < p.size() && p[i + 1] == 't')
                ++i;
            out += "ampm";
        } else
            out.push_back(c);
    }
    return out;
}

}  // namespace

DateTimeSettings SystemDateTimeSettings() {
    DateTimeSettings s;
    const std::string date = LocaleText(LOCALE_SSHORTDATE);
    const std::string dsep = LocaleText(LOCALE_SDATE);
    const std::string time = LocaleText(LOCALE_STIMEFORMAT);
    const std::string tsep = LocaleText(LOCALE_STIME);
    if (!date.empty())
        s.short_date_format = FromLocalePattern(date);
    if (dsep.size() == 1)
        s.date_separator = dsep[0];
    if (!time.empty())
        s.time_format = FromLocalePattern(time);
    if (tsep.size() == 1)
        s.time_separator = tsep[0];
    return s;
}

}  // namespace kelvra::update
