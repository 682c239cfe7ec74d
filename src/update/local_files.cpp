#include "update/local_files.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"

namespace kelvra::update {
namespace {

namespace fs = std::filesystem;

fs::path P(const std::string& s) {
    return fs::path(std::u8string(s.begin(), s.end()));
}

std::string S(const fs::path& p) {
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

}  // namespace

bool LocalFileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(P(path), ec);
}

bool DeleteLocalFile(const std::string& path) {
    std::error_code ec;
    fs::remove(P(path), ec);  // a missing file is no error
    return !ec;
}

void ClearReadOnlyHidden(const std::string& path) {
    std::error_code ec;
    fs::permissions(P(path), fs::perms::owner_write, fs::perm_options::add, ec);
}

bool RenameLocalFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(P(from), P(to), ec);
    return !ec;
}

std::optional<std::int64_t> LocalFileSize(const std::string& path) {
    std::error_code ec;
    const auto size = fs::file_size(P(path), ec);
    if (ec)
        return std::nullopt;
    return static_cast<std::int64_t>(size);
}

void SetCurrentDirectoryTo(const std::string& path) {
    std::error_code ec;
    fs::current_path(P(path), ec);
    if (ec)
        throw OsError("Cannot change the current directory to " + path,
                      static_cast<std::uint32_t>(ec.value()));
}

std::string CurrentDirectory() {
    return S(fs::current_path());
}

void CreateDirectories(const std::string& path) {
    fs::create_directories(P(path));
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string UpperExtension(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t sep = path.find_last_of("/\\");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        return {};
    return text::UpperAscii(path.substr(dot));
}

OutputFile OutputFile::CreateUnique(const std::string& directory, const std::string& prefix) {
    static std::atomic<unsigned> counter{
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::string dir = directory;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += static_cast<char>(fs::path::preferred_separator);
    for (int attempt = 0; attempt < 65536; ++attempt) {
        static const char kHex[] = "0123456789ABCDEF";
        const unsigned n = counter.fetch_add(1) & 0xFFFFu;
        std::string name = prefix;
        for (int shift = 12; shift >= 0; shift -= 4)
            name += kHex[(n >> shift) & 0xF];
        std::string path = dir + name + ".tmp";
        Handle handle = kNoHandle;
        const Created created = CreateNew(path, handle);
        if (created == Created::kOpened)
            return OutputFile(std::move(path), handle);
        if (created == Created::kFailed)
            break;
    }
    throw OsError("Cannot create a temporary file in " + directory, 0);
}

std::optional<OutputFile> OutputFile::CreateNewAt(const std::string& path) {
    Handle handle = kNoHandle;
    if (CreateNew(path, handle) != Created::kOpened)
        return std::nullopt;
    return OutputFile(path, handle);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, kNoHandle)),
      buffer_(std::move(other.buffer_)),
      written_(other.written_),
      writeback_(other.writeback_) {}

OutputFile::~OutputFile() {
    Abandon();
}

void OutputFile::Write(const char* data, std::size_t size) {
    if (handle_ == kNoHandle)
        throw OsError("Cannot write file " + path_, 0);
    if (buffer_.size() + size > kBufferSize)
        Flush();
    if (size >= kBufferSize) {
        if (!WriteAll(handle_, data, size))
            throw OsError("Cannot write file " + path_, 0);
        written_ += static_cast<std::int64_t>(size);
        return;
    }
    buffer_.append(data, size);
}

void OutputFile::Flush() {
    const bool ok = buffer_.empty() || WriteAll(handle_, buffer_.data(), buffer_.size());
    written_ += ok ? static_cast<std::int64_t>(buffer_.size()) : 0;
    buffer_.clear();
    if (!ok)
        throw OsError("Cannot write file " + path_, 0);
}

void OutputFile::StartWriteback() {
    if (handle_ == kNoHandle ||
        written_ + static_cast<std::int64_t>(buffer_.size()) - writeback_ < kWritebackStep)
        return;
    Flush();
    BeginWriteback(handle_, writeback_, written_ - writeback_);
    writeback_ = written_;
}

void OutputFile::Close() {
    if (handle_ == kNoHandle)
        return;
    try {
        Flush();
    } catch (...) {
        Abandon();
        throw;
    }
    if (!CloseFile(std::exchange(handle_, kNoHandle)))
        throw OsError("Cannot close file " + path_, 0);
}

void OutputFile::Abandon() {
    buffer_.clear();
    if (handle_ != kNoHandle)
        CloseFile(std::exchange(handle_, kNoHandle));  // the file is being discarded
}

bool InputFile::Open(const std::string& path) {
    in_.open(P(path), std::ios::binary);
    return static_cast<bool>(in_);
}

std::optional<std::size_t> InputFile::Read(char* data, std::size_t size) {
    in_.read(data, static_cast<std::streamsize>(size));
    if (in_.bad())
        return std::nullopt;
    const auto n = static_cast<std::size_t>(in_.gcount());
    if (in_.eof())
        in_.clear(std::ios::eofbit);
    return n;
}

bool WriteNewFileOver(const std::string& dir, const std::string& path, std::string_view bytes) {
    OutputFile out = OutputFile::CreateUnique(dir, "KUPD");
    try {
        out.Write(bytes.data(), bytes.size());
        out.Close();
    } catch (...) {
        out.Abandon();
        DeleteLocalFile(out.path());
        throw;
    }
    if (RenameLocalFile(out.path(), path))
        return true;
    DeleteLocalFile(out.path());
    return false;
}

}  // namespace kelvra::update
