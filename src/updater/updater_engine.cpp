#include "updater/updater_engine.h"

#include <charconv>
#include <filesystem>

#include "platform/file_system.h"
#include "platform/text.h"
#include "update/control_file.h"
#include "update/local_files.h"
#include "update/restart_handoff.h"

namespace kelvra::updater {
namespace {

constexpr const char* kRefusedTail = "\n程序文件未作任何更改，当前版本可以继续使用。";

bool IsLowerHex(std::string_view text, std::size_t digits) {
    if (text.size() != digits)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

std::optional<std::int64_t> ParseSize(std::string_view text) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0)
        return std::nullopt;
    return value;
}

// The two texts name the same directory: compared as written, after "." parts and trailing
// separators are dropped; without regard to letter case where "\\" separates (Windows).
bool SameDirectory(const std::string& a, const std::string& b) {
    const bool fold = platform::SystemFileSystem().Separator() == '\\';
    auto normal = [fold](const std::string& dir) {
        const std::u8string text =
            std::filesystem::u8path(dir).lexically_normal().generic_u8string();
        std::string out(text.begin(), text.end());
        while (out.size() > 1 && out.back() == '/')
            out.pop_back();
        return fold ? text::UpperAscii(out) : out;
    };
    return !a.empty() && normal(a) == normal(b);
}

}  // namespace

UpdaterEngine::UpdaterEngine(ui::Application* app, update::InternetPlatform* internet,
                             const update::Ed25519PublicKey& key, update::VersionWords installed)
    : TUpdateEngine(app, internet), key_(key), installed_(installed) {}

void UpdaterEngine::Refuse(std::string message, std::string log_line) {
    if (refusal_)
        return;  // the first reason is the one reported
    AddToLog("Update refused: " + log_line);
    refusal_ = Refusal{std::move(message) + kRefusedTail, std::move(log_line)};
    Cancel();
}

std::optional<Refusal> UpdaterEngine::CheckControlFile(
    const std::string& bytes, const std::optional<std::string>& signature) {
    if (!signature)
        return Refusal{"更新服务器提供的更新没有发布者的签名，已拒绝此次更新。",
                       "the control file has no signature"};
    if (!update::VerifyReleaseSignature(bytes, *signature, key_))
        return Refusal{"更新文件的签名无效（不是发布者的签名，或文件已被改动），已拒绝此次更新。",
                       "the control file's signature is not the publisher's"};
    const auto file = update::ControlFileFromBytes(bytes);
    const std::string text = update::ReadString(*file, "update", "newversion");
    const update::VersionWords offered = update::ParseVersionText(text);
    if (text.empty() || offered.AnyInvalid())
        return Refusal{"更新没有注明有效的版本号，已拒绝此次更新。",
                       "the control file names no valid version"};
    if (installed_.AnyInvalid())
        return Refusal{"无法读取已安装客户端的版本，已拒绝此次更新。",
                       "the installed client's version cannot be read"};
    if (!update::IsNewerVersion(offered, installed_))
        return Refusal{"服务器提供的版本 " + update::VersionToText(offered) + " 不比已安装的版本 " +
                           update::VersionToText(installed_) + " 新，已拒绝此次更新。",
                       "version " + update::VersionToText(offered) + " is not newer than " +
                           update::VersionToText(installed_)};
    release_ = offered;
    return std::nullopt;
}

bool UpdaterEngine::FetchControlFile(const std::string& address, const std::string& dir) {
    if (!TUpdateEngine::FetchControlFile(address, dir))
        return false;
    auto& files = platform::SystemFileSystem();
    const std::string path = dir + URLtoFile(address);
    const std::string bytes = files.ReadFile(path);
    update::DeleteLocalFile(path);
    std::optional<std::string> signature;
    const std::string signature_address = address + ".sig";
    if (TUpdateEngine::FetchControlFile(signature_address, dir)) {
        const std::string signature_path = dir + URLtoFile(signature_address);
        signature = files.ReadFile(signature_path);
        update::DeleteLocalFile(signature_path);
    }
    if (auto refused = CheckControlFile(bytes, signature)) {
        Refuse(std::move(refused->message), std::move(refused->log_line));
        return false;
    }
    // The engine reads exactly the bytes that were verified, written afresh under a name
    // of its own. A download of this run: nothing to flush to the disk first.
    return update::WriteNewFileOver(dir, path, bytes);
}

int UpdaterEngine::GetFileDetails() {
    promises_.clear();
    const int n = TUpdateEngine::GetFileDetails();
    for (int i = 0; i < n && static_cast<std::size_t>(i) < FileList().Count(); ++i) {
        const std::string section = "file" + std::to_string(i + 1);
        const std::string sha256 = ReadControlString(section, "sha256");
        const auto size = ParseSize(ReadControlString(section, "size"));
        if (IsLowerHex(sha256, 64) && size)
            promises_[FileList()[static_cast<std::size_t>(i)].URL] = {sha256, *size};
    }
    return n;
}

bool UpdaterEngine::StaysInDownloadFolder(const update::TFileDescription& item,
                                          const std::string& name) {
    // Components stay where they were fetched until the restart program moves them.
    if (!name.empty() &&
        text::UpperAscii(FAppComps).find(text::UpperAscii(name)) != std::string::npos)
        return true;
    // So do the files of a cabinet extracted into the download folder.
    return update::UpperExtension(name) == ".CAB" && item.Compressed &&
           SameDirectory(item.TargetDir, WinTempDir());
}

int UpdaterEngine::ProcessFileDetails() {
    const int r = TUpdateEngine::ProcessFileDetails();
    if (r != 0)
        return r;
    for (std::size_t i = 0; i < FileList().Count(); ++i) {
        const std::string name = URLtoFile(FileList()[i].URL);
        if (promises_.count(FileList()[i].URL) == 0) {
            Refuse("更新文件 " + name + " 没有经过签名的校验值，已拒绝此次更新。",
                   name + " has no signed size and SHA-256");
            return -1;
        }
        if (!StaysInDownloadFolder(FileList()[i], name)) {
            Refuse("更新文件 " + name + " 会被直接放入程序文件夹，已拒绝此次更新。",
                   name + " is neither an application component nor a cabinet for them");
            return -1;
        }
    }
    return 0;
}

void UpdaterEngine::FetchStarts(const std::string& destination) {
    fetched_sha256_.reset();
    fetched_path_ = destination;
    if (downloading_)
        fetched_sha256_.emplace();
}

void UpdaterEngine::FetchedBlock(const char* data, std::size_t size) {
    if (fetched_sha256_)
        fetched_sha256_->Add(data, size);
}

bool UpdaterEngine::AcceptFetchedFile(const update::TFileDescription& item,
                                      const std::string& path) {
    const auto promise = promises_.find(item.URL);
    const std::string name = URLtoFile(item.URL);
    const auto size = update::LocalFileSize(path);
    bool matches = !refusal_ && promise != promises_.end() && size == promise->second.size;
    if (matches) {
        // The digest taken while the file was written, when it is of this very file; else
        // the file is read again.
        const bool streamed =
            fetched_sha256_ && fetched_path_ == path && size == fetched_sha256_->size();
        matches = (streamed ? fetched_sha256_->FinishHex() : update::Sha256FileHex(path)) ==
                  promise->second.sha256;
    }
    fetched_sha256_.reset();
    if (matches)
        return true;
    update::DeleteLocalFile(path);
    Refuse("下载的文件 " + name + " 与发布者签名的内容不符，已拒绝此次更新。",
           name + " does not match its signed size and SHA-256");
    return false;
}

void UpdaterEngine::DoFileProgress(const std::string& FileName, std::int64_t Pos,
                                   std::int64_t Size) {
    TUpdateEngine::DoFileProgress(FileName, Pos, Size);
    const std::size_t active = static_cast<std::size_t>(FileList().ActiveItem);
    if (downloading_ && active < FileList().Count()) {
        const auto promise = promises_.find(FileList()[active].URL);
        if (promise == promises_.end() || Pos > promise->second.size) {
            over_size_ = true;
            Refuse("下载的文件 " + URLtoFile(FileList()[active].URL) +
                       " 超出了发布者签名的大小，已拒绝此次更新。",
                   URLtoFile(FileList()[active].URL) + " is larger than its signed size");
        }
    }
    if (on_progress)
        on_progress(FileName, Pos, Size);
}

int UpdaterEngine::GetFileUpdates() {
    downloading_ = true;
    const int r = TUpdateEngine::GetFileUpdates();
    downloading_ = false;
    return r;
}

void UpdaterEngine::DoStatus(int id, const std::string& param, int StatusCode, int ErrCode) {
    TUpdateEngine::DoStatus(id, param, StatusCode, ErrCode);
    // A cabinet whose components did not all come out must not be half installed.
    if (id == 947)
        Refuse("更新文件 " + param + " 无法解压，已拒绝此次更新。", param + " cannot be extracted");
}

void UpdaterEngine::DoProgressCancel(bool& Cancel) {
    if (over_size_ || refusal_)
        Cancel = true;
    TUpdateEngine::DoProgressCancel(Cancel);
}

}  // namespace kelvra::updater
