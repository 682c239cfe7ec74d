// Linux: the portable profile reader over the file, parsed again when the file changes
// (checked at every read, or once per hold).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/text.h"
#include "update/control_file.h"
#include "update/profile_text.h"

namespace kelvra::update {
namespace {

struct Stamp {
    bool exists = false;
    off_t size = 0;
    timespec mtime{};
    ino_t inode = 0;
    bool operator==(const Stamp& o) const {
        return exists == o.exists && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && inode == o.inode;
    }
};

Stamp StampOf(const struct stat& st) {
    Stamp s;
    if (!S_ISREG(st.st_mode))
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.inode = st.st_ino;
    return s;
}

Stamp StampOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? StampOf(st) : Stamp{};
}

// The whole regular file at path, with the stamp of what was read; false when there is no
// such file or it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes, Stamp& stamp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        stamp = StampOf(st);
        // One byte more than announced, so that a file of the stated size is read in one call;
        // a read that does not fill what was asked of a regular file has reached its end.
        bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t have = 0;
        for (;;) {
            if (have == bytes.size())
                bytes.resize(bytes.size() * 2);
            const std::size_t want = bytes.size() - have;
            const ssize_t n = ::read(fd, bytes.data() + have, want);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ok = false;
            if (n > 0)
                have += static_cast<std::size_t>(n);
            if (n <= 0 || static_cast<std::size_t>(n) < want)
                break;
        }
        bytes.resize(have);
    }
    ::close(fd);
    return ok;
}

class PosixControlFile final : public ControlFileReader {
  public:
    explicit PosixControlFile(std::string path) : path_(std::move(path)) {}

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const override {
        std::lock_guard lock(mutex_);
        if (holds_ == 0 || !checked_) {
            Refresh();
            checked_ = true;
        }
        if (!text_) {
            // No file: the default with trailing blanks dropped, nothing else.
            std::u16string d = text::Utf8ToUtf16(def);
            while (d.size() > 1 && d.back() == u' ')
                d.pop_back();
            d.resize(std::min(d.size(), kMaxProfileValue));
            return text::Utf16ToUtf8(d);
        }
        return text::Utf16ToUtf8(
            text_->Get(text::Utf8ToUtf16(section), text::Utf8ToUtf16(key), text::Utf8ToUtf16(def)));
    }
    const std::string& Path() const override { return path_; }

  private:
    void BeginHold() const override {
        std::lock_guard lock(mutex_);
        if (holds_++ == 0)
            checked_ = false;
    }
    void EndHold() const override {
        std::lock_guard lock(mutex_);
        --holds_;
    }

    // Parses the file again when it is not the one read last (or was never read).
    void Refresh() const {
        if (text_ && StampOf(path_) == stamp_)
            return;
        text_.reset();
        stamp_ = Stamp{};
        std::string bytes;
        if (ReadWholeFile(path_, bytes, stamp_))
            text_.emplace(bytes);
    }

    std::string path_;
    mutable std::mutex mutex_;
    mutable Stamp stamp_;
    mutable std::optional<ProfileText> text_;
    mutable int holds_ = 0;
    mutable bool checked_ = false;
};

}  // namespace

std::unique_ptr<ControlFileReader> OpenControlFile(std::string path) {
    return std::make_unique<PosixControlFile>(std::move(path));
}

}  // namespace kelvra::update
