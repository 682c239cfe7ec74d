// The availability query: fetch the control file, decide from it whether a newer version
// exists, and build the file list for an unconditional update.
#include <cctype>

#include "platform/file_system.h"
#include "update/file_checks.h"
#include "update/local_files.h"
#include "update/update_dialogs.h"
#include "update/update_engine.h"
#include "update/version_info.h"

namespace kelvra::update {
namespace {

constexpr std::int64_t kMaxControlFileBytes = 1 << 20;

}  // namespace

StringList TextLines(const std::string& bytes) {
    StringList lines;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    if (!line.empty())
        lines.push_back(line);
    return lines;
}

bool TUpdateEngine::NewVersionAvailable(bool InitPath) {
    if (InitPath)
        SetCurrentDirectoryTo(DirectoryOf(platform::SystemFileSystem().ExecutablePath()));
    FCancelled = false;
    bool answer = false;
    if (StartConnection() != 0)
        return false;
    if (UpdateType == TUpdateType::ftpUpdate && FTPConnect() == -1)
        Error();
    if ((HintConnect() != nullptr || UpdateType == TUpdateType::fileUpdate) &&
        GetControlFile() == 0) {
        const int code = DoVersionCheck();
        answer = code != 7;
        if (code == 8 && GetFileDetails() > 0)
            ProcessFileDetails();
        if (answer && OnDownloadedWhatsNew) {
            if (auto list = GetWhatsNew()) {
                int res = 1;
                OnDownloadedWhatsNew(*this, *list, res);
            }
        }
    }
    StopConnection();
    return answer;
}

std::unique_ptr<StringList> TUpdateEngine::NewWhatsNew(bool showdialog) {
    FCancelled = false;
    if (StartConnection() != 0)
        return nullptr;
    if (UpdateType == TUpdateType::ftpUpdate && FTPConnect() == -1)
        Error();
    std::unique_ptr<StringList> result;
    if ((HintConnect() != nullptr || UpdateType == TUpdateType::fileUpdate) &&
        GetControlFile() == 0 && DoVersionCheck() != 7) {
        std::unique_ptr<std::string> stream = GetWhatsNewStream();
        if (stream) {
            const bool rich = IsRichText(*stream);
            if (showdialog)
                ShowWhatsNew(*stream);
            if (!rich) {
                result = std::make_unique<StringList>(TextLines(*stream));
                if (!showdialog && OnDownloadedWhatsNew) {
                    int res = 1;
                    OnDownloadedWhatsNew(*this, *result, res);
                }
            }
        }
    }
    StopConnection();
    return result;
}

int TUpdateEngine::GetControlFile() {
    FCancelled = false;
    int result = 0;
    const std::string address = GetControlFileURL();
    const std::string temp_dir = WinTempDir();
    if (address.empty() || !FetchControlFile(address, temp_dir)) {
        DoStatus(925, "", 2, 0);
        return 4;
    }
    DoStatus(926, "", 3, 0);
    FControlFileName = temp_dir + URLtoFile(address);
    control_file_.reset();
    // What the fetch wrote is the file, unless something has written it since (the stamp
    // tells at the first read).
    if (written_control_ && written_control_->path == FControlFileName)
        control_file_ = OpenControlFile(FControlFileName, std::move(written_control_->bytes),
                                        written_control_->stamp);
    written_control_.reset();
    const ControlFileHold hold = HoldControlFile();
    if (SignatureCheck && ReadControlString("update", "signature") != Signature) {
        DoStatus(927, "", 11, 4);
        result = 5;
    }
    const ControlFileReader& file = ControlFile();
    FAppUpdate = ReadFlag(file, "application", "appupdate");
    FAppName = ExpandPrefix(ReadString(file, "application", "appname"));
    FAppParams = ReadString(file, "application", "appparam");
    if (FAppName.empty())
        FAppUpdate = false;
    if (OnSetAppParams)
        OnSetAppParams(*this, FAppParams);
    if (FAppParams.empty())
        FAppParams = " ";
    FAppComps = ExpandPrefix(ReadString(file, "application", "appcomps"));
    FSilentRestart = ReadFlag(file, "application", "silentrestart");
    return result;
}

bool TUpdateEngine::FetchControlFile(const std::string& address, const std::string& dir) {
    // A control file is a few kilobytes; a server that sends more (an endless body over
    // plain HTTP) must not fill the temporary folder.
    download_limit_ = kMaxControlFileBytes;
    control_fetch_ = true;
    written_control_.reset();
    struct Unbound {
        TUpdateEngine& engine;
        ~Unbound() {
            engine.download_limit_ = 0;
            engine.control_fetch_ = false;
        }
    } unbound{*this};
    return URLGetFile(HintConnect(), address, dir, false);
}

int TUpdateEngine::DoVersionCheck() {
    const ControlFileHold hold = HoldControlFile();
    const ControlFileReader& file = ControlFile();
    int code = 7;
    FUpdateDescription = ReadString(file, "update", "descr");
    const std::string date = ReadString(file, "update", "date");
    if (!date.empty()) {
        DoStatus(928, "", 3, 0);
        FNewVersionDate =
            ReadReleaseDate(date, ReadString(file, "update", "time"), EngineDateSettings());
        FDateCheckFile = ExpandPrefix(ReadString(file, "update", "localversion"));
        FCurVersionDate = UpdateDateGet();
        if (FCurVersionDate >= FNewVersionDate) {
            DoStatus(930, "", 4, 0);
            code = 7;
        } else {
            DoStatus(929, FormatShortDate(FNewVersionDate, ProcessDateTimeSettings()), 5, 0);
            code = 6;
        }
    }
    if (!ReadString(file, "update", "unconditional").empty() && code == 7)
        code = 8;
    if (code == 7) {
        std::string version = ReadString(file, "update", "newversion");
        const std::int32_t size = ReadInteger(file, "update", "newsize", 0);
        std::string local = ExpandPrefix(ReadString(file, "update", "localversion"));
        const std::int32_t checksum = ReadInteger(file, "update", "newchecksum", -1);
        if ((!version.empty() || size > 0 || checksum != -1) && !local.empty()) {
            if (checksum != -1) {
                code = 10;
                DoStatus(931, "", 3, 0);
            } else if (size <= 0) {
                code = 11;
                DoStatus(933, "", 3, 0);
            } else {
                code = 9;
                DoStatus(932, "", 3, 0);
            }
            if (DoFileCheck(version, local, size, checksum)) {
                DoStatus(929, version, 5, 0);
            } else {
                DoStatus(930, "", 4, 0);
                code = 7;
            }
        }
        FNewVersionInfo = version;
        FCurVersionInfo = local;
    }
    if (OnCustomValidate) {
        bool allow = code != 7;
        OnCustomValidate(*this, ReadString(file, "custom", "validatemsg"),
                         ReadString(file, "custom", "validateparam"), allow);
        code = allow ? 12 : 7;
    }
    return code;
}

bool TUpdateEngine::DoFileCheck(std::string& NewVersion, std::string& LocalFile,
                                std::int32_t NewSize, std::int32_t NewCheckSum) {
    if (NewVersion.empty() && NewSize == 0 && NewCheckSum == -1)
        return true;
    if (LocalFile.empty() && VersionCheck == TUpdateVersionCheck::vcUpdateOnly)
        return true;
    if (!LocalFileExists(LocalFile) && VersionCheck == TUpdateVersionCheck::vcAlways)
        return true;
    if (NewCheckSum != -1) {
        const std::int32_t local = UseCRC32 ? FileCRC32(LocalFile) : FileChecksum(LocalFile);
        DoStatus(944,
                 "Checksum compare of " + LocalFile + ":" + std::to_string(local) + ":" +
                     std::to_string(NewCheckSum),
                 3, 0);
        return NewCheckSum != local;
    }
    if (NewSize > 0) {
        const std::int64_t size = FileSize(LocalFile);
        return !(size == NewSize ||
                 (size <= 0 && VersionCheck == TUpdateVersionCheck::vcUpdateOnly));
    }
    const VersionWords local = ReadFileVersion(LocalFile);
    const VersionWords fresh = ParseVersionText(NewVersion);
    DoStatus(944,
             "Version compare of " + LocalFile + ":" + VersionToText(local) + " with " +
                 NewVersion + ":" + VersionToText(fresh),
             3, 0);
    if (fresh.AnyInvalid())
        return false;
    if (local.AnyInvalid() && VersionCheck == TUpdateVersionCheck::vcUpdateOnly)
        return false;
    LocalFile = VersionToText(local);
    NewVersion = VersionToText(fresh);
    return IsNewerVersion(fresh, local);
}

int TUpdateEngine::GetFileDetails() {
    FileList().Clear();
    const ControlFileHold hold = HoldControlFile();
    const ControlFileReader& file = ControlFile();
    const std::int32_t n = ReadInteger(file, "files", "count", 0);
    if (n > 0) {
        DoStatus(943, "", 3, 0);
        const char sep = platform::SystemFileSystem().Separator();
        for (std::int32_t i = 1; i <= n; ++i) {
            const std::string section = "file" + std::to_string(i);
            TFileDescription& d = FileList().Add();
            d.URL = ExpandPrefix(ReadString(file, section, "url"));
            d.NewVersion = ReadString(file, section, "newversion");
            d.NewSize = ReadInteger(file, section, "newsize", 0);
            d.NewCheckSum = ReadInteger(file, section, "newchecksum", -1);
            d.NewCustomVer = ReadString(file, section, "customversion");
            d.NewDate = ReadString(file, section, "date");
            d.NewTime = ReadString(file, section, "time");
            d.LocalVersion = ExpandPrefix(ReadString(file, section, "localversion"));
            d.Description = ReadString(file, section, "descr");
            d.TargetDir = ExpandPrefix(ReadString(file, section, "targetdir"));
            if (d.TargetDir.empty() || (d.TargetDir.back() != sep && d.TargetDir.back() != '\\'))
                d.TargetDir += sep;
            d.Compressed = ReadFlag(file, section, "compressed");
            d.FileSize = ReadInteger(file, section, "filesize", 0);
            d.Mandatory = ReadFlag(file, section, "mandatory");
            d.Preselect = ReadFlag(file, section, "preselect", true);
            d.Hidden = ReadFlag(file, section, "hidden");
        }
    }
    return n;
}

int TUpdateEngine::ProcessFileDetails() {
    auto& items = FileList().Items();
    for (std::size_t i = 0; i < items.size();) {
        TFileDescription& d = items[i];
        DoStatus(971,
                 d.URL + "[" + d.LocalVersion + ",nv=" + d.NewVersion + ",nd=" + d.NewDate +
                     ",ns=" + std::to_string(d.NewSize) + ",nc=" + std::to_string(d.NewCheckSum) +
                     "]",
                 0, 0);
        bool keep = true;
        if (!d.LocalVersion.empty() && !d.NewDate.empty()) {
            const LocalDateTime release =
                ReadReleaseDate(d.NewDate, d.NewTime, EngineDateSettings());
            const auto modified = FileModifiedTime(d.LocalVersion);
            keep = !(modified && *modified >= release);
        } else {
            std::string version = d.NewVersion;
            std::string local = d.LocalVersion;
            if (!DoFileCheck(version, local, d.NewSize, d.NewCheckSum)) {
                DoStatus(930, "", 0, 0);
                keep = false;
            } else if (OnFileVersionCheck && !d.NewCustomVer.empty()) {
                OnFileVersionCheck(*this, d.NewCustomVer, local, keep);
            }
        }
        if (keep)
            ++i;
        else
            items.erase(items.begin() + static_cast<long>(i));
    }
    if (OnGetFileList) {
        StringList list;
        for (const TFileDescription& d : items)
            list.push_back(d.Description);
        OnGetFileList(*this, list);
        std::size_t item = 0;
        for (std::size_t line = 0; line < list.size() && item < items.size(); ++line) {
            if (list[line].empty() && !items[item].Mandatory)
                items.erase(items.begin() + static_cast<long>(item));
            else
                ++item;
        }
    }
    return items.empty() ? -1 : 0;
}

std::unique_ptr<StringList> TUpdateEngine::GetWhatsNew() {
    const std::string section = "whatsnew" + LanguageID;
    std::string address = ReadControlString(section, "file");
    if (address.empty())
        return nullptr;
    if (OnBeforeFileDownload) {
        const std::string given = address;
        OnBeforeFileDownload(*this, 0, given, address);
    }
    DoStatus(937, "", 12, 0);
    if (!URLGetFile(HintConnect(), address, WinTempDir(), false))
        return nullptr;
    const std::string fetched = WinTempDir() + URLtoFile(address);
    auto list =
        std::make_unique<StringList>(TextLines(platform::SystemFileSystem().ReadFile(fetched)));
    DeleteLocalFile(fetched);
    return list;
}

}  // namespace kelvra::update
