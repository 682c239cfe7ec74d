#include <windows.h>

#include "platform/environment.h"
#include "platform/win32/wide.h"

namespace kelvra::platform {
namespace {

class Win32Environment final : public Environment {
  public:
    std::optional<std::string> Get(std::string_view name) const override {
        const std::wstring key = win32::Widen(name);
        SetLastError(ERROR_SUCCESS);
        DWORD n = GetEnvironmentVariableW(key.c_str(), nullptr, 0);
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND)
                return std::nullopt;
            return std::string();
        }
        std::wstring value(n, L'\0');
        n = GetEnvironmentVariableW(key.c_str(), value.data(), n);
        value.resize(n);
        return win32::Narrow(value);
    }
    void Set(std::string_view name, const std::optional<std::string>& value) override {
        const std::wstring key = win32::Widen(name);
        if (value) {
            SetEnvironmentVariableW(key.c_str(), win32::Widen(*value).c_str());
        } else {
            SetEnvironmentVariableW(key.c_str(), nullptr);
        }
    }
};

}  // namespace

Environment& SystemEnvironment() {
    static Win32Environment env;
    return env;
}

}  // namespace kelvra::platform
