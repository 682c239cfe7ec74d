// Process environment variables (UTF-8 names and values).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kelvra::platform {

class Environment {
  public:
    virtual ~Environment() = default;
    // nullopt when the variable is not set; a set but empty variable gives "".
    virtual std::optional<std::string> Get(std::string_view name) const = 0;
    // nullopt removes the variable.
    virtual void Set(std::string_view name, const std::optional<std::string>& value) = 0;
};

Environment& SystemEnvironment();

}  // namespace kelvra::platform
