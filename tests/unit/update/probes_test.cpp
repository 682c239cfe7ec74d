#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>

#include "platform/error.h"
#include "platform/registry.h"
#include "test_support.h"
#include "update/environment_probes.h"

namespace kelvra::update {
namespace {

using platform::RegistryValue;

// HKEY_LOCAL_MACHINE keys with their values; any other hive is empty.
class KeysRegistry final : public platform::Registry {
  public:
    std::map<std::string, std::map<std::string, RegistryValue>> keys;

    std::unique_ptr<platform::RegistryKey> Open(platform::RegistryHive hive, std::string_view path,
                                                platform::RegistryAccess) const override {
        auto it = keys.find(std::string(path));
        if (hive != platform::RegistryHive::LocalMachine || it == keys.end())
            return nullptr;
        return std::make_unique<Key>(it->second);
    }
    std::unique_ptr<platform::RegistryKey> Create(platform::RegistryHive,
                                                  std::string_view) override {
        throw Error("read-only");
    }
    bool DeleteKey(platform::RegistryHive, std::string_view) override { return false; }

  private:
    class Key final : public platform::RegistryKey {
      public:
        explicit Key(const std::map<std::string, RegistryValue>& values) : values_(values) {}
        std::optional<RegistryValue> Query(std::string_view name) const override {
            auto it = values_.find(std::string(name));
            return it == values_.end() ? std::nullopt : std::optional(it->second);
        }
        void Set(std::string_view, const RegistryValue&) override { throw Error("read-only"); }
        void DeleteValue(std::string_view) override { throw Error("read-only"); }

      private:
        std::map<std::string, RegistryValue> values_;
    };
};

constexpr const char* kIeKey = "Software\\Microsoft\\Internet Explorer\\Version Vector";

TEST(EnvironmentProbes, VersionTexts) {
    EXPECT_EQ(FormatOSVersion(5, 1, false), "5.1");
    EXPECT_EQ(FormatOSVersion(6, 1, true), "6.1(Win 7)");
    EXPECT_EQ(FormatOSVersion(6, 2, true), "6.2(Vista)");
    EXPECT_EQ(EngineVersionText(), "2.1.4.0");
    EXPECT_EQ(EngineVersionText(0x0A0B0C0D), "10.11.12.13");
}

TEST(EnvironmentProbes, OSVersionOfTheRunningSystem) {
    const std::string os = ProbeOSVersion();
#ifdef _WIN32
    // Every Windows this runs on offers GetLocaleInfoEx; only 6.1 is called Win 7.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(os, m, std::regex(R"((\d+)\.(\d+)(\(Win 7\)|\(Vista\)))"))) << os;
    EXPECT_EQ(m[3].str(), m[1].str() == "6" && m[2].str() == "1" ? "(Win 7)" : "(Vista)");
#else
    // The kernel's release as the proc file system tells it, cut after major.minor.
    std::ifstream in("/proc/sys/kernel/osrelease");
    std::string release;
    ASSERT_TRUE(std::getline(in, release));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(release, m, std::regex(R"(^\d+\.\d+)")));
    EXPECT_EQ(os, m[0].str());
#endif
}

TEST(EnvironmentProbes, RegistryLookups) {
    struct Row {
        const char* name;
        std::map<std::string, std::map<std::string, RegistryValue>> keys;
        std::string ie, ides;
    } rows[] = {
        {"nothing installed", {}, "(not found)", ""},
        {"browser version and two environments",
         {{kIeKey, {{"IE", RegistryValue::Text("9.11.19041.0")}}},
          {"Software\\JetBrains", {}},
          {"Software\\Microsoft\\VisualStudio\\10.0", {}}},
         "9.11.19041.0",
         "VS10JB"},
        {"version key without its value", {{kIeKey, {}}}, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        KeysRegistry registry;
        registry.keys = row.keys;
        EXPECT_EQ(ProbeIEVersion(registry), row.ie);
        EXPECT_EQ(ProbeInstalledIDEs(registry), row.ides);
    }
}

}  // namespace
}  // namespace kelvra::update
