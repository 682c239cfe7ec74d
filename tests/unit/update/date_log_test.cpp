#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <stdexcept>

#include "platform/error.h"
#include "test_support.h"
#include "update/file_checks.h"
#include "update/update_date.h"
#include "update/update_log.h"

namespace kelvra::update {
namespace {

const DateTimeSettings kEngine{};  // dd/mm/yyyy, /, hh:nn, :

TEST(ReleaseDate, ReadsEngineFormatsAndFallsBack) {
    EXPECT_EQ(ReadReleaseDate("10/12/2013", "", kEngine), (LocalDateTime{2013, 12, 10}));
    EXPECT_EQ(ReadReleaseDate("10/12/2013", "14:30", kEngine),
              (LocalDateTime{2013, 12, 10, 14, 30, 0}));
    EXPECT_EQ(ReadReleaseDate("10/12/2013", "14:30:15", kEngine),
              (LocalDateTime{2013, 12, 10, 14, 30, 15}));
    EXPECT_EQ(ReadReleaseDate("10/12/2013", "2:05 PM", kEngine),
              (LocalDateTime{2013, 12, 10, 14, 5, 0}));
    // 31 February does not read: 1 January 1980 plus the time.
    EXPECT_EQ(ReadReleaseDate("31/02/2013", "10:00", kEngine),
              (LocalDateTime{1980, 1, 1, 10, 0, 0}));
    EXPECT_EQ(ReadReleaseDate("29/02/2012", "", kEngine), (LocalDateTime{2012, 2, 29}));
    EXPECT_EQ(ReadReleaseDate("10.12.2013", "", kEngine), kDefaultReleaseDate);
    EXPECT_EQ(ReadReleaseDate("10/12/2013/1", "", kEngine), kDefaultReleaseDate);
    EXPECT_EQ(ReadReleaseDate("10/12/2013", "25:00", kEngine), (LocalDateTime{2013, 12, 10}));
    DateTimeSettings us{"mm-dd-yyyy", '-', "hh.nn", '.'};
    EXPECT_EQ(ReadReleaseDate("12-10-2013", "08.15", us), (LocalDateTime{2013, 12, 10, 8, 15}));
}

TEST(ReleaseDate, RestoresProcessSettingsAlsoOnFailure) {
    const DateTimeSettings process{"yyyy.mm.dd", '.', "hh-nn-ss", '-'};
    SetProcessDateTimeSettings(process);
    (void)ReadReleaseDate("not a date", "nor a time", kEngine);
    EXPECT_EQ(ProcessDateTimeSettings().short_date_format, "yyyy.mm.dd");
    EXPECT_EQ(ProcessDateTimeSettings().date_separator, '.');
    try {
        ScopedDateTimeSettings scope(kEngine);
        EXPECT_EQ(ProcessDateTimeSettings().short_date_format, "dd/mm/yyyy");
        throw std::runtime_error("reading failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ProcessDateTimeSettings().time_format, "hh-nn-ss");
    EXPECT_EQ(ProcessDateTimeSettings().time_separator, '-');
    SetProcessDateTimeSettings(SystemDateTimeSettings());
}

TEST(DateFormat, WritesPatterns) {
    const LocalDateTime dt{2013, 12, 9, 10, 15, 2};
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss", dt, kEngine), "09/12/2013 10:15:02");
    DateTimeSettings dots{"d.m.yy", '.', "h:mm ampm", ':'};
    EXPECT_EQ(FormatShortDate(dt, dots), "9.12.13");
    EXPECT_EQ(FormatTime(LocalDateTime{2013, 1, 1, 14, 5, 0}, dots), "2:05 PM");
}

TEST(LogLine, ShapeAndMessages) {
    EXPECT_EQ(StatusLogLine({2013, 12, 9, 10, 15, 2}, kEngine, 926,
                            FormatStatusMessage(926, "ignored"), 3, 0),
              "09/12/2013 10:15:02 : [926] Update control file found (Status:3) (Error:0)");
    EXPECT_EQ(FormatStatusMessage(915, "http://h/a%s.inf"), "Download : http://h/a%s.inf");
    EXPECT_EQ(FormatStatusMessage(976, "12029"), "System error : 12029");
    EXPECT_EQ(FormatStatusMessage(968, "Non threaded update"),
              "Start update : Non threaded update ---------------------------");
    EXPECT_EQ(StatusMessageText(917), "File not found : %s");
    EXPECT_EQ(StatusMessageText(1), "");
}

TEST(LogPath, BareNamesGoToDocuments) {
    const std::optional<std::string> docs = "/home/u/Documents";
    EXPECT_EQ(ResolveLogPath("KUPDATE.LOG", docs, '/'), "/home/u/Documents/KUPDATE.LOG");
    EXPECT_EQ(ResolveLogPath("C:KUPDATE.LOG", docs, '/'), "C:KUPDATE.LOG");
    EXPECT_EQ(ResolveLogPath("logs\\k.log", docs, '/'), "logs\\k.log");
    EXPECT_EQ(ResolveLogPath("./k.log", docs, '/'), "./k.log");
    EXPECT_EQ(ResolveLogPath("k.log", std::nullopt, '/'), "k.log");
}

TEST(UpdateLogFile, AppendsLinesWithCrLfAndRaisesStatus) {
    test::TempDir dir;
    const std::string path = dir.File("upd.log");
    UpdateLog log;
    log.SetLogFileName(path);
    log.clock = [] { return LocalDateTime{2013, 12, 9, 10, 15, 2}; };
    std::vector<std::string> seen;
    log.on_status = [&](const std::string& t, int s, int e) {
        seen.push_back(t + "|" + std::to_string(s) + "|" + std::to_string(e));
    };
    log.DoStatus(918, "", 3, 0);
    EXPECT_FALSE(test::PathExists(path));  // Logging off: no file yet
    log.AddToLog("Unable to delete file x");
    log.SetLogging(true);
    ScopedDateTimeSettings scope(kEngine);
    log.DoStatus(929, "10/12/2013", 5, 0);
    log.DoStatus(916, "404", 6, 404);
    EXPECT_EQ(test::ReadBytes(path),
              "Unable to delete file x\r\n"
              "09/12/2013 10:15:02 : [929] New version found : 10/12/2013 (Status:5) (Error:0)\r\n"
              "09/12/2013 10:15:02 : [916] Http status : 404 (Status:6) (Error:404)\r\n");
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], "Checking for Internet connection|3|0");
    EXPECT_EQ(seen[2], "Http status : 404|6|404");
    UpdateLog second;  // every engine writes to the name set last
    second.AddToLog("more");
    EXPECT_EQ(test::ReadBytes(path).substr(test::ReadBytes(path).size() - 6), "more\r\n");
}

TEST(UpdateLogFile, WriteFailurePropagates) {
    test::TempDir dir;
    UpdateLog log;
    log.SetLogFileName(dir.File("missing-folder") + "/x/k.log");
    EXPECT_THROW(log.AddToLog("x"), Error);
    SetProcessLogFileName("KUPDATE.LOG");
}

TEST(FileChecks, ChecksumsAndSize) {
    test::TempDir dir;
    const std::string empty = dir.File("empty"), abc = dir.File("abc"), big = dir.File("big");
    test::WriteBytes(empty, "");
    test::WriteBytes(abc, "abc");
    std::string bytes(10000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    test::WriteBytes(big, bytes);
    EXPECT_EQ(FileChecksum(empty), -1);
    EXPECT_EQ(FileChecksum(abc), static_cast<std::int32_t>(0xFFFFFFFFu + 97 + 98 + 99));
    EXPECT_EQ(FileChecksum(dir.File("none")), -1);
    EXPECT_EQ(FileCRC32(dir.File("none")), 0);
    EXPECT_EQ(FileCRC32(empty), 0);  // complement of the start value
    // One step by hand: c = 0xFFFFFFFF, b = 'a'.
    {
        std::uint32_t c = 0xFFFFFFFFu;
        std::uint32_t t = c ^ 'a';
        std::uint32_t r = t & 0xFF;
        for (int k = 0; k < 8; ++k)
            r = (r & 1) ? 0xEDB88320u ^ (r >> 1) : r >> 1;
        c += r ^ (c >> 8);
        test::WriteBytes(dir.File("a"), "a");
        EXPECT_EQ(FileCRC32(dir.File("a")), static_cast<std::int32_t>(~c));
    }
    // Blocks of 4096 give the same as the whole.
    EXPECT_EQ(FileCRC32(big), static_cast<std::int32_t>(~BytesCRC32Step(bytes, 0xFFFFFFFFu)));
    EXPECT_EQ(FileChecksum(big), BytesChecksum(bytes));
    EXPECT_EQ(FileSize(big), 10000);
    EXPECT_EQ(FileSize(empty), 0);
    EXPECT_EQ(FileSize(dir.File("none")), -1);
    EXPECT_EQ(FileSize(dir.path()), -1);
    EXPECT_FALSE(FileModifiedTime(dir.File("none")));
}

TEST(FileChecks, ModifiedTimeIsTheLocalTime) {
    test::TempDir dir;
    const std::string file = dir.File("dated");
    test::WriteBytes(file, "x");
    std::tm local{};
    local.tm_year = 2013 - 1900;
    local.tm_mon = 12 - 1;
    local.tm_mday = 9;
    local.tm_hour = 10;
    local.tm_min = 15;
    local.tm_sec = 2;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    ASSERT_NE(when, static_cast<std::time_t>(-1));
    std::filesystem::last_write_time(
        std::filesystem::u8path(file),
        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
    EXPECT_EQ(FileModifiedTime(file), (LocalDateTime{2013, 12, 9, 10, 15, 2}));
}

#ifndef _WIN32
// The documents folder as user-dirs.dirs names it ($HOME expanded, escapes read, the last
// line winning), else XDG_DOCUMENTS_DIR, else ~/Documents; nothing when that folder does
// not exist, so that the log goes to the current directory.
TEST(LogPath, DocumentsFolderFromUserDirs) {
    test::TempDir home;
    test::ScopedEnv home_env("HOME", home.path());
    test::ScopedEnv config_env("XDG_CONFIG_HOME", home.path() + "/config");
    std::filesystem::create_directories(home.path() + "/config");
    struct Row {
        const char* name;
        std::string user_dirs;  // "" for no file
        std::optional<std::string> env;
        const char* made;  // folder created below home, or nullptr
        std::optional<std::string> expected;
    } rows[] = {
        {"localised", "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n", std::nullopt, "文档",
         home.path() + "/文档"},
        {"named but missing", "XDG_DOCUMENTS_DIR=\"$HOME/文档\"\n", std::nullopt, nullptr,
         std::nullopt},
        {"absolute, escaped quote, last line wins",
         "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/x\"\n  XDG_DOCUMENTS_DIR=\"" + home.path() +
             "/my \\\"docs\\\"\"\n",
         std::nullopt, "my \"docs\"", home.path() + "/my \"docs\""},
        {"environment when the file names none", "XDG_DESKTOP_DIR=\"$HOME/Desk\"\n",
         home.path() + "/envdocs", "envdocs", home.path() + "/envdocs"},
        {"default folder", "", std::nullopt, "Documents", home.path() + "/Documents"},
        {"relative environment value", "", std::string("envdocs"), "Documents",
         home.path() + "/Documents"},
        {"no folder at all", "", std::nullopt, nullptr, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove_all(
            std::filesystem::u8path(home.path() + "/config/user-dirs.dirs"));
        if (!row.user_dirs.empty())
            test::WriteBytes(home.path() + "/config/user-dirs.dirs", row.user_dirs);
        test::ScopedEnv docs_env("XDG_DOCUMENTS_DIR", row.env);
        std::string made;
        if (row.made) {
            made = home.path() + "/" + row.made;
            std::filesystem::create_directories(std::filesystem::u8path(made));
        }
        EXPECT_EQ(DocumentsFolder(), row.expected);
        if (!made.empty())
            std::filesystem::remove_all(std::filesystem::u8path(made));
    }
}

TEST(UpdateLogFile, WithoutDocumentsFolderTheBareNameIsUsedHere) {
    test::TempDir home, here;
    test::ScopedEnv home_env("HOME", home.path());
    test::ScopedEnv config_env("XDG_CONFIG_HOME", std::nullopt);
    test::ScopedEnv docs_env("XDG_DOCUMENTS_DIR", std::nullopt);
    const auto old_dir = std::filesystem::current_path();
    std::filesystem::current_path(here.path());
    UpdateLog log;
    log.SetLogFileName("KUPDATE.LOG");
    log.SetLogging(true);
    EXPECT_NO_THROW(log.DoStatus(918, "", 3, 0));
    std::filesystem::current_path(old_dir);
    EXPECT_NE(test::ReadBytes(here.File("KUPDATE.LOG")).find("[918] "), std::string::npos);
}
#endif

}  // namespace
}  // namespace kelvra::update
