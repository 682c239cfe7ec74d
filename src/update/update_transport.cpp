// The engine's transport: session start and end, FTP connect, fetching by address over
// HTTP, FTP or file copy through a temporary file, and the Internet error report.
#include <algorithm>
#include <typeinfo>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "ui/application.h"
#include "update/cab_extract.h"
#include "update/local_files.h"
#include "update/progress_form.h"
#include "update/update_engine.h"

namespace kelvra::update {
namespace {

// Downloads are read in blocks the size of the output file's buffer, so that every block
// goes to the file in one write and progress is reported once per block.
constexpr std::size_t kReadBlock = OutputFile::kBufferSize;
constexpr std::size_t kCopyBlock = 32768;
constexpr std::size_t kMaxErrorText = 1024;

// RFC 4648 base64 with "=" padding.
std::string Base64(const std::string& bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == bytes.size()) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (static_cast<unsigned char>(bytes[i + 1]) << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

// Each character contributes the low 8 bits of its UTF-16 code unit.
std::string Low8Bits(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = c;
        std::size_t len = 1;
        if (c >= 0xF0 && i + 3 < utf8.size() + 0) {
            cp = ((c & 7u) << 18) | ((utf8[i + 1] & 0x3Fu) << 12) | ((utf8[i + 2] & 0x3Fu) << 6) |
                 (utf8[i + 3] & 0x3Fu);
            len = 4;
        } else if (c >= 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0xFu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
            len = 2;
        }
        if (cp >= 0x10000) {  // a surrogate pair: two code units
            const std::uint32_t v = cp - 0x10000;
            out += static_cast<char>((0xD800 + (v >> 10)) & 0xFF);
            out += static_cast<char>((0xDC00 + (v & 0x3FF)) & 0xFF);
        } else {
            out += static_cast<char>(cp & 0xFF);
        }
        i += len;
    }
    return out;
}

bool HasFileNamePart(const std::string& path) {
    return !path.empty() && path.back() != '/' && path.back() != '\\';
}

}  // namespace

bool TUpdateEngine::Connected() {
    if (URL.find("127.0.0.1") != std::string::npos)
        return true;
    return internet_->ConnectedState().has_value();
}

int TUpdateEngine::ConnectionType() {
    const auto flags = internet_->ConnectedState();
    return flags ? static_cast<int>(*flags) : -1;
}

void TUpdateEngine::HangUp() {
    if (Connected())
        internet_->HangUp();
}

int TUpdateEngine::StartConnection() {
    FHint.reset();
    FFtpConnect.reset();
    if (UpdateType == TUpdateType::fileUpdate)
        return 0;
    DoStatus(918, "", 3, 0);
    if (UpdateConnect == TUpdateConnect::ucNone)
        return 0;
    if (!Connected() && UpdateConnect == TUpdateConnect::ucNoConnect)
        return 1;
    if (!Connected() && (UpdateConnect == TUpdateConnect::ucConnectPrompt ||
                         UpdateConnect == TUpdateConnect::ucConnectPromptHangup)) {
        DoStatus(919, "", 3, 0);
        if (!internet_->Autodial(false)) {
            DoStatus(953, "", 3, 0);
            return 3;
        }
        FDialed = true;
    }
    if (!Connected() && (UpdateConnect == TUpdateConnect::ucConnectSilent ||
                         UpdateConnect == TUpdateConnect::ucConnectSilentHangup)) {
        DoStatus(920, "", 3, 0);
        if (!internet_->Autodial(true)) {
            DoStatus(953, "", 3, 0);
            return 3;
        }
        FDialed = true;
    }
    DoStatus(921, "", 3, 0);
    FHint = internet_->Open(Agent, Proxy);
    if (!FHint) {
        DoStatus(922, "", 1, 0);
        return 2;
    }
    ApplyTimeOuts(*FHint);
    if (CertCheck == TUpdateCertCheck::ccDisable)
        FHint->IgnoreCertificateErrors();
    FInProgress = true;
    return 0;
}

void TUpdateEngine::ApplyTimeOuts(InternetSession& session) const {
    if (TimeOut > 0)
        session.SetConnectTimeout(TimeOut);
    if (ReceiveTimeOut > 0)
        session.SetReceiveTimeout(ReceiveTimeOut);
}

int TUpdateEngine::FTPConnect() {
    FFTPDirSet = false;
    DoStatus(923, Host, 3, 0);
    if (FHint) {
        const bool credentials = !UserID.empty() && !Password.empty();
        FFtpConnect = FHint->ConnectFtp(Host, Port, credentials ? UserID : std::string(),
                                        credentials ? Password : std::string(), FTPPassive);
    }
    return FFtpConnect ? 0 : -1;
}

int TUpdateEngine::StopConnection() {
    if (UpdateType != TUpdateType::fileUpdate) {
        if (UpdateType == TUpdateType::ftpUpdate && FFtpConnect) {
            FFtpConnect.reset();
            DoStatus(954, "", 3, 0);
        }
        if (FHint) {
            FHint.reset();
            DoStatus(949, "", 3, 0);
        }
        if (FDialed && (UpdateConnect == TUpdateConnect::ucConnectPromptHangup ||
                        UpdateConnect == TUpdateConnect::ucConnectSilentHangup)) {
            HangUp();
            FDialed = false;
            DoStatus(955, "", 3, 0);
        }
        DoStatus(949, "", 3, 0);
    }
    if (!FControlFileName.empty()) {
        control_file_.reset();
        DeleteLocalFile(FControlFileName);  // a failure is of no consequence here
    }
    FInProgress = false;
    return 0;
}

std::string TUpdateEngine::URLtoFile(const std::string& url) {
    std::string name = url;
    for (char c : {'/', '\\', '?'}) {
        const std::size_t at = name.rfind(c);
        if (at != std::string::npos)
            name.erase(0, at + 1);
    }
    if (OnFileNameFromURL)
        OnFileNameFromURL(*this, url, name);
    return name;
}

std::string TUpdateEngine::URLToDomain(const std::string& url) {
    std::string domain = url;
    const std::size_t scheme = domain.find("://");
    if (scheme != std::string::npos)
        domain.erase(0, scheme + 3);
    domain = domain.substr(0, domain.find('/'));
    return domain.substr(0, domain.find('\\'));
}

std::string TUpdateEngine::MakeProxyUrl(const std::string& url, const std::string& proxyuser,
                                        const std::string& proxypwd) {
    if (text::UpperAscii(url.substr(0, 7)) == "HTTP://" && !proxyuser.empty())
        return "http://" + proxyuser + ":" + proxypwd + "@" + url.substr(7);
    return url;
}

std::string TUpdateEngine::WinTempDir() const {
    std::string dir = UseWinTempDir ? TempFilesDirectory() : TempDirectory;
    const char sep = platform::SystemFileSystem().Separator();
    if (dir.empty() || (dir.back() != sep && dir.back() != '\\'))
        dir += sep;
    return dir;
}

void TUpdateEngine::Error() {
    const std::uint32_t code = internet_->LastError();
    if (code == 0)
        return;
    std::string text;
    if (code == kInetErrorExtended) {
        text = internet_->LastResponseText();
        if (text.empty())
            return;
    } else {
        text = internet_->ErrorText(code);
    }
    if (text.size() > kMaxErrorText)
        text.resize(kMaxErrorText);
    DoStatus(976, text, 1, static_cast<int>(code));
    if (!OnStatus && UpdateUpdate != TUpdatePrompting::upSilent) {
        ShowBox(text, "Error", ui::MsgButtons::Ok, ui::MsgIcon::Error);
    }
}

void TUpdateEngine::DoFileProgress(const std::string& FileName, std::int64_t Pos,
                                   std::int64_t Size) {
    if (progress_form_ != nullptr)
        OnGuiThread([&] { progress_form_->ShowProgress(FileName, Pos, Size); });
    if (OnFileProgress)
        OnFileProgress(*this, FileName, Pos, Size);
}

void TUpdateEngine::DoProgressCancel(bool& Cancel) {
    if (OnProgressCancel)
        OnProgressCancel(*this, Cancel);
    if (Cancel)
        DoStatus(964, "", 0, 0);
}

void TUpdateEngine::CustomProcess(const std::string& fn) {
    if (OnFileDownloaded)
        OnFileDownloaded(*this, fn);
}

OutputFile TUpdateEngine::NewTempFile() {
    return OutputFile::CreateUnique(UseWinTempDir ? WinTempDir() : TempDirectory, "KUPD");
}

bool TUpdateEngine::ReplaceDestination(const std::string& temp, const std::string& destination,
                                       bool rename_when_not_cleared) {
    bool result = true;
    if (!DeleteLocalFile(destination)) {
        ClearReadOnlyHidden(destination);
        if (!DeleteLocalFile(destination)) {
            result = false;
            DoStatus(972, destination, 19, 6);
            AddToLog("Unable to delete file " + destination);
            if (!rename_when_not_cleared) {
                DeleteLocalFile(temp);
                return false;
            }
        }
    }
    if (!RenameLocalFile(temp, destination)) {
        result = false;
        DoStatus(973, temp + " to " + destination, 19, 7);
        AddToLog("Unable to rename file " + temp + " to " + destination);
        // The temporary file is not left behind.
        DeleteLocalFile(temp);
    }
    return result;
}

void TUpdateEngine::AfterDownload(const std::string& destination, const std::string& tgt,
                                  bool uncompress) {
    CustomProcess(destination);
    if (!uncompress)
        return;
    if (UpperExtension(destination) != ".CAB") {
        ExpandLZFile(destination);
        return;
    }
    ExtractCab(destination, tgt);
    if (!KeepIntermediateFiles)
        DeleteLocalFile(destination);
}

bool TUpdateEngine::CopyLocalFile(const std::string& source, const std::string& destination) {
    if (source == destination) {
        DoStatus(912, source, 10, 3);
        return false;
    }
    InputFile in;
    if (!in.Open(source)) {
        DoStatus(913, source, 2, 1);
        return false;
    }
    const auto size = LocalFileSize(source);
    if (!size) {
        DoStatus(914, source, 10, 2);
        return false;
    }
    OutputFile out = NewTempFile();
    const std::string temp = out.path();
    bool ok = true;
    bool cancel = false;
    FetchStarts(destination);
    try {
        std::vector<char> block(kCopyBlock);
        std::int64_t copied = 0;
        for (;;) {
            PumpMessages();
            const auto n = in.Read(block.data(), block.size());
            if (!n) {
                ok = false;
                break;
            }
            out.Write(block.data(), *n);
            FetchedBlock(block.data(), *n);
            copied += static_cast<std::int64_t>(*n);
            DoFileProgress(source, copied, *size);
            cancel = FCancelled;
            DoProgressCancel(cancel);
            if (cancel || *n < block.size())
                break;
        }
        out.Close();
    } catch (...) {
        out.Abandon();
        DeleteLocalFile(temp);
        throw;
    }
    in.Close();
    FCancelled = cancel;
    if (cancel || !ok) {
        DeleteLocalFile(temp);
        return false;
    }
    return ReplaceDestination(temp, destination, false);
}

bool TUpdateEngine::DownloadRequest(InternetRequest& request, std::int64_t size,
                                    const std::string& url, const std::string& tgt) {
    const std::string destination = tgt + URLtoFile(url);
    // The control file is the engine's own file in the temporary folder, deleted after each
    // check: where no copy of it is there, a failed fetch has nothing to spoil, so it is
    // written in place instead of renamed there (under Wine a rename costs as much as a
    // fetch on the local network). Its bytes are kept for the reader unless something else
    // may write the file before it is read: a handler given the file, or the override of the
    // fetch in a program built on the engine. A same-size rewrite in place within the file
    // system's time resolution leaves the file's stamp as it was.
    std::optional<OutputFile> in_place =
        control_fetch_ ? OutputFile::CreateNewAt(destination) : std::nullopt;
    OutputFile out = in_place ? std::move(*in_place) : NewTempFile();
    const bool placed = in_place.has_value();
    in_place.reset();
    const bool keep = control_fetch_ && !OnFileDownloaded && typeid(*this) == typeid(TUpdateEngine);
    std::string kept;
    const std::string temp = out.path();
    bool result = false;
    bool cancel = false;
    bool read_error = false;
    FetchStarts(destination);
    try {
        std::vector<char> block(kReadBlock);
        std::int64_t total = 0;
        std::size_t last = 1;
        // An announced length beyond the bound fails before anything is read.
        read_error = download_limit_ > 0 && size > download_limit_;
        while (last > 0 && !cancel && !read_error) {
            PumpMessages();
            // Never more than an announced HTTP length: what a server sends beyond it is not
            // part of the file (WinInet on Windows stops there; this keeps it so everywhere).
            // An FTP size comes from a listing that may be stale, so it does not limit.
            std::size_t want = block.size();
            if (size > 0 && UpdateType == TUpdateType::httpUpdate)
                want = static_cast<std::size_t>(
                    std::min<std::int64_t>(static_cast<std::int64_t>(want), size - total));
            const auto n =
                want == 0 ? std::optional<std::size_t>(0) : request.Read(block.data(), want);
            // Past the bound the fetch fails like a broken transfer.
            if (!n ||
                (download_limit_ > 0 && total + static_cast<std::int64_t>(*n) > download_limit_)) {
                read_error = true;
                break;
            }
            last = *n;
            out.Write(block.data(), last);
            if (keep)
                kept.append(block.data(), last);
            FetchedBlock(block.data(), last);
            out.StartWriteback();
            total += static_cast<std::int64_t>(last);
            DoFileProgress(destination, total, size);
            cancel = FCancelled;
            DoProgressCancel(cancel);
            if (last > 0)
                result = true;
        }
        out.Close();
    } catch (...) {
        out.Abandon();
        DeleteLocalFile(temp);
        throw;
    }
    FCancelled = cancel;
    // An empty response is a failure and must not wipe out an existing destination.
    if (cancel || read_error || !result) {
        if (!DeleteLocalFile(temp))
            AddToLog("Unable to delete file " + temp);
        return false;
    }
    if (!placed && !ReplaceDestination(temp, destination, true))
        result = false;
    pending_destination_ = destination;
    if (keep && result)
        written_control_ =
            WrittenControlFile{destination, std::move(kept), StampOfFile(destination)};
    return result;
}

bool TUpdateEngine::URLGetFile(InternetSession* hfile, const std::string& url,
                               const std::string& tgt, bool uncompress) {
    DoStatus(915, url, 3, 0);
    const std::string name = URLtoFile(url);
    if (UpdateType == TUpdateType::fileUpdate) {
        const std::string destination = HasFileNamePart(tgt) ? tgt : tgt + name;
        if (!CopyLocalFile(url, destination))
            return false;
        CustomProcess(destination);
        if (uncompress) {
            if (text::UpperAscii(destination).find(".CAB") == std::string::npos) {
                ExpandLZFile(destination);
            } else {
                DoStatus(965, destination, 3, 0);
                ExtractCab(destination, tgt);
                if (!KeepIntermediateFiles)
                    DeleteLocalFile(destination);
            }
        }
        return true;
    }
    std::string address = MakeProxyUrl(url, ProxyUserID, ProxyPassword);
    std::unique_ptr<InternetRequest> request;
    std::int64_t size = 0;
    if (UpdateType == TUpdateType::httpUpdate) {
        RequestFlags flags;
        flags.keep_connection = HTTPKeepAliveAuthentication;
        flags.existing_connect = ExistingConnection;
        flags.ignore_cert_date = flags.ignore_cert_name = CertCheck == TUpdateCertCheck::ccDisable;
        if (Authenticate == TUpdateAuthentication::waAlways &&
            (UserID.empty() || Password.empty())) {
            std::string user = UserID, password = Password;
            if (!PromptLogin("Connect to " + URLToDomain(address), user, password)) {
                DoStatus(956, "Authentication cancelled", 0, 0);
                return false;
            }
            UserID = user;
            Password = password;
        }
        for (;;) {
            std::string headers;
            if (!UserID.empty() || !Password.empty())
                headers = "Authorization: Basic " + Base64(Low8Bits(UserID + ":" + Password)) +
                          "\r\n\r\n";
            request = hfile != nullptr ? hfile->OpenUrl(address, headers, flags) : nullptr;
            if (!request)
                break;
            const int status = request->StatusCode();
            if (status == 401 && Authenticate == TUpdateAuthentication::waAuto) {
                std::string user = UserID, password = Password;
                if (!PromptLogin("Connect to " + URLToDomain(address), user, password)) {
                    DoStatus(956, "Authentication cancelled", 0, 0);
                    return false;
                }
                UserID = user;
                Password = password;
                request.reset();
                continue;
            }
            if (status >= 300) {
                DoStatus(916, std::to_string(status), 6, status);
                return false;
            }
            size = request->ContentLength();
            break;
        }
    } else {
        FtpConnection* ftp = hfile != nullptr ? FFtpConnect.get() : nullptr;
        if (ftp != nullptr) {
            if (!FTPDirectory.empty() && !FFTPDirSet) {
                const std::string dir = ExpandPrefix(FTPDirectory);
                DoStatus(974, dir, 3, 0);
                if (!ftp->SetCurrentDirectory(dir))
                    DoStatus(975, dir, 3, 8);
                FFTPDirSet = true;
            }
            size = ftp->FindFileSize(name).value_or(0);
            request = ftp->OpenFile(name);
        }
    }
    if (!request) {
        Error();
        DoStatus(917, url, 2, 1);
        return false;
    }
    pending_destination_.clear();
    const bool result = DownloadRequest(*request, size, address, tgt);
    request.reset();
    if (!pending_destination_.empty())
        AfterDownload(pending_destination_, tgt, uncompress);
    return result;
}

}  // namespace kelvra::update
