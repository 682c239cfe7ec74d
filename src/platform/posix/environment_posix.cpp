#include <cstdlib>
#include <string>

#include "platform/environment.h"

namespace kelvra::platform {
namespace {

class PosixEnvironment final : public Environment {
  public:
    std::optional<std::string> Get(std::string_view name) const override {
        const char* value = std::getenv(std::string(name).c_str());
        if (value == nullptr)
            return std::nullopt;
        return std::string(value);
    }
    void Set(std::string_view name, const std::optional<std::string>& value) override {
        const std::string key(name);
        if (value) {
            ::setenv(key.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(key.c_str());
        }
    }
};

}  // namespace

Environment& SystemEnvironment() {
    static PosixEnvironment env;
    return env;
}

}  // namespace kelvra::platform
