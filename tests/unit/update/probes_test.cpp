#include <gtest/gtest.h>

#include "platform/registry.h"
#include "test_support.h"
#include "update/environment_probes.h"

namespace kelvra::update {
namespace {

TEST(EnvironmentProbes, VersionTexts) {
    EXPECT_EQ(FormatOSVersion(5, 1, false), "5.1");
    EXPECT_EQ(FormatOSVersion(6, 1, true), "6.1(Win 7)");
    EXPECT_EQ(FormatOSVersion(6, 2, true), "6.2(Vista)");
    EXPECT_EQ(EngineVersionText(), "2.1.4.0");
    EXPECT_EQ(EngineVersionText(0x0A0B0C0D), "10.11.12.13");
    const std::string os = ProbeOSVersion();
    EXPECT_NE(os.find('.'), std::string::npos);
    EXPECT_FALSE(BuildEnvironmentCode().empty());
}

TEST(EnvironmentProbes, RegistryLookups) {
    // A fresh store on Linux; the Wine prefix's own registry on Windows.
    test::TempDir dir;
    test::ScopedEnv reg("KELVRA_REGISTRY_DIR", dir.path());
    auto& registry = platform::SystemRegistry();
    const std::string ie = ProbeIEVersion(registry);
    auto key = registry.Open(platform::RegistryHive::LocalMachine,
                             "Software\\Microsoft\\Internet Explorer\\Version Vector",
                             platform::RegistryAccess::Read);
    if (!key)
        EXPECT_EQ(ie, "(not found)");
    else
        EXPECT_NE(ie, "(not found)");
    const std::string ides = ProbeInstalledIDEs(registry);
    EXPECT_EQ(ides.find("(not found)"), std::string::npos);
}

}  // namespace
}  // namespace kelvra::update
