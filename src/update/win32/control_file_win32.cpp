// Windows: the system's private-profile function on the local copy.
#include <windows.h>

#include <memory>
#include <vector>

#include "platform/win32/wide.h"
#include "update/control_file.h"

namespace kelvra::update {
namespace {

class Win32ControlFile final : public ControlFileReader {
  public:
    explicit Win32ControlFile(std::string path) : path_(std::move(path)) {
        // A path without a folder would be looked up in the Windows directory; name the
        // file itself instead.
        const std::wstring wide = platform::win32::Widen(path_);
        std::vector<wchar_t> full(MAX_PATH);
        DWORD n =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n >= full.size()) {
            full.resize(n + 1);
            n = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                 nullptr);
        }
        full_path_ = (n > 0 && n < full.size()) ? std::wstring(full.data(), n) : wide;
    }

    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view def) const override {
        wchar_t buffer[kMaxProfileValue + 1] = {};
        const std::wstring s = platform::win32::Widen(section);
        const std::wstring k = platform::win32::Widen(key);
        const std::wstring d = platform::win32::Widen(def);
        const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), d.c_str(), buffer,
                                                 kMaxProfileValue + 1, full_path_.c_str());
        return platform::win32::Narrow(std::wstring_view(buffer, n));
    }
    const std::string& Path() const override { return path_; }

  private:
    std::string path_;
    std::wstring full_path_;
};

}  // namespace

std::unique_ptr<ControlFileReader> OpenControlFile(std::string path) {
    return std::make_unique<Win32ControlFile>(std::move(path));
}

}  // namespace kelvra::update
