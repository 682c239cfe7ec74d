// Linux: the portable profile reader over the file, parsed again when the file changes.
#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

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

Stamp StampOf(const std::string& path) {
    struct stat st {};
    Stamp s;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return s;
    s.exists = true;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.inode = st.st_ino;
    return s;
}

class PosixControlFile final : public ControlFileReader {
  public:
    explicit PosixControlFile(std::string path) : path_(std::move(path)) {}

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const override {
        std::lock_guard lock(mutex_);
        const Stamp now = StampOf(path_);
        if (!text_ || !(now == stamp_)) {
            text_.reset();
            stamp_ = now;
            if (now.exists) {
                std::ifstream in(path_, std::ios::binary);
                if (in) {
                    std::ostringstream bytes;
                    bytes << in.rdbuf();
                    text_.emplace(bytes.str());
                }
            }
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
    std::string path_;
    mutable std::mutex mutex_;
    mutable Stamp stamp_;
    mutable std::optional<ProfileText> text_;
};

}  // namespace

std::unique_ptr<ControlFileReader> OpenControlFile(std::string path) {
    return std::make_unique<PosixControlFile>(std::move(path));
}

}  // namespace kelvra::update
