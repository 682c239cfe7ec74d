// The control file reader on every platform: the portable profile reader over the file read
// whole, parsed again when the file changes (checked at every read, or once per hold). Under
// Wine one profile-function call costs a quarter of a millisecond, so reading the file once
// and answering from memory is what keeps the check near a plain fetch of the file.
#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/text.h"
#include "update/control_file.h"
#include "update/profile_text.h"
#include "update/stored_file.h"

namespace kelvra::update {
namespace {

class CachedControlFile final : public ControlFileReader {
  public:
    explicit CachedControlFile(std::string path) : path_(std::move(path)) {}
    CachedControlFile(std::string path, std::string_view bytes, const FileStamp& stamp)
        : path_(std::move(path)), stamp_(stamp) {
        if (stamp_.exists)
            text_.emplace(bytes);
    }

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
        if (text_ && StampOfFile(path_) == stamp_)
            return;
        text_.reset();
        stamp_ = FileStamp{};
        std::string bytes;
        if (ReadStampedFile(path_, bytes, stamp_))
            text_.emplace(bytes);
    }

    std::string path_;
    mutable std::mutex mutex_;
    mutable FileStamp stamp_;
    mutable std::optional<ProfileText> text_;
    mutable int holds_ = 0;
    mutable bool checked_ = false;
};

}  // namespace

std::unique_ptr<ControlFileReader> OpenControlFile(std::string path) {
    return std::make_unique<CachedControlFile>(std::move(path));
}

std::unique_ptr<ControlFileReader> OpenControlFile(std::string path, std::string bytes,
                                                   const FileStamp& stamp) {
    return std::make_unique<CachedControlFile>(std::move(path), bytes, stamp);
}

}  // namespace kelvra::update
