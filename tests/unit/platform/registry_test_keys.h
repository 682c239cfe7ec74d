// Registry keys for tests: a unique scratch path per run and a guard that removes the
// keys a test created, deepest first, leaving keys that existed before untouched.
#pragma once

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/registry.h"

namespace kelvra::test {

inline std::string UniqueTestKey() {
    std::random_device device;
    std::mt19937_64 gen(
        device() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    static const char kDigits[] = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 16; ++i)
        id.push_back(kDigits[gen() % 16]);
    return "Software\\KelvraTest\\" + id;
}

class RegistryKeyGuard {
  public:
    explicit RegistryKeyGuard(platform::RegistryHive hive) : hive_(hive) {}
    ~RegistryKeyGuard() {
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            try {
                platform::SystemRegistry().DeleteKey(hive_, *it);
            } catch (const Error&) {
                // a shared parent (Software\KelvraTest) may still hold another run's keys
            }
        }
    }
    RegistryKeyGuard(const RegistryKeyGuard&) = delete;
    RegistryKeyGuard& operator=(const RegistryKeyGuard&) = delete;

    // Records every level of path that does not exist yet, so it is removed later.
    void Track(const std::string& path) {
        std::size_t at = 0;
        while (at != std::string::npos) {
            at = path.find('\\', at + 1);
            const std::string level = path.substr(0, at);
            bool known = false;
            for (const auto& c : created_)
                known = known || c == level;
            if (!known &&
                !platform::SystemRegistry().Open(hive_, level, platform::RegistryAccess::Read))
                created_.push_back(level);
        }
    }

  private:
    platform::RegistryHive hive_;
    std::vector<std::string> created_;
};

}  // namespace kelvra::test
