// kelvra-publish run as a publisher runs it, on a Linux build tree whose client is this test
// program (one build number newer than the build's own client, which stands for the
// installed client beside the tests).
#include <gtest/gtest.h>

#include <filesystem>

#include "engine_fixture.h"
#include "update/cab_extract.h"
#include "update/control_file.h"
#include "update/file_version_note.h"
#include "update/release_signature.h"

// KELVRA_NEXT_VERSION holds the four words; expanded before the note macro takes them.
#define KELVRA_NOTE_OF(...) KELVRA_FILE_VERSION_NOTE(__VA_ARGS__)
KELVRA_NOTE_OF(KELVRA_NEXT_VERSION);

namespace kelvra::test {
namespace {

namespace fs = std::filesystem;

int RunPublish(const std::vector<std::string>& args) {
    ChildProcess publish(TestProgram("kelvra-publish"), args);
    return publish.Wait(std::chrono::seconds(60)).value_or(-1);
}

update::Ed25519PublicKey PublicKeyOf(const std::string& pub_file) {
    const std::string text = ReadBytes(pub_file);
    const std::string tag = "ed25519-public ";
    const std::string hex = text.substr(text.find(tag) + tag.size(), 64);
    update::Ed25519PublicKey key{};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = static_cast<std::uint8_t>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return key;
}

class PublishTest : public EngineTest {
  protected:
    // A build tree as the linux preset leaves it, for the given update host.
    std::string MakeBuildTree() {
        const fs::path bin = fs::path(tree_.path()) / "bin";
        fs::create_directories(bin / "web-extensions");
        fs::copy_file(TestProgram("update_publish_test"), bin / "kelvraedu");
        WriteBytes((bin / "updater.exe").string(), "updater program");
        WriteBytes((bin / "web-extensions" / "libkelvraexternal.so").string(), "extension");
        WriteBytes(tree_.File("CMakeCache.txt"),
                   "KELVRA_UPDATE_HOST:STRING=update.kelvraedu.com\n");
        return tree_.path();
    }

    TempDir tree_;
    TempDir out_;
};

TEST_F(PublishTest, ReleaseIsNewerToReleasedClientsAndVerifiesOnlyAsPublished) {
    const std::string tree = MakeBuildTree();
    ASSERT_EQ(RunPublish({"--key", KELVRA_TEST_KEY, "--from", tree, "--out", out_.path()}), 0);
    const fs::path served = fs::path(out_.path()) / "kelvraeduclient";
    const std::string control = ReadBytes((served / "update.inf").string());
    const std::string signature = ReadBytes((served / "update.inf.sig").string());

    // The engine of a released client, set up as its login window sets it up, sees a newer
    // version than the client installed beside it.
    auto engine = MakeEngine(ServeControlFile(control));
    EXPECT_TRUE(engine->NewVersionAvailable(false));

    // Each listed file is there with the listed digest and size; the cabinet holds the rest
    // of the release under its folders, byte for byte.
    const auto reader = update::ControlFileFromBytes(control);
    const int count = std::stoi(reader->ReadString("files", "count", "0"));
    ASSERT_EQ(count, 2);
    for (int n = 1; n <= count; ++n) {
        const std::string section = "file" + std::to_string(n);
        const std::string url = reader->ReadString(section, "url", "");
        EXPECT_EQ(url.rfind("http://update.kelvraedu.com/kelvraeduclient/", 0), 0u) << url;
        const fs::path file = served / url.substr(url.rfind('/') + 1);
        EXPECT_EQ(reader->ReadString(section, "sha256", ""), update::Sha256FileHex(file.string()));
        EXPECT_EQ(reader->ReadString(section, "size", ""), std::to_string(fs::file_size(file)));
    }
    TempDir staged;
    const std::string cabinet = reader->ReadString("file1", "url", "");
    ASSERT_EQ(update::ExtractCab((served / cabinet.substr(cabinet.rfind('/') + 1)).string(),
                                 staged.path() + "/"),
              0);
    EXPECT_EQ(ReadBytes(staged.path() + "/web-extensions/libkelvraexternal.so"), "extension");
    EXPECT_EQ(ReadBytes(staged.path() + "/updater.exe"), "updater program");
    EXPECT_EQ(ReadBytes((served / "kelvraedu").string()),
              ReadBytes(TestProgram("update_publish_test")));

    // The same tree signed with a fresh key verifies only with that key.
    const std::string other_key = work_.File("other.key");
    ASSERT_EQ(RunPublish({"--new-key", other_key}), 0);
    EXPECT_EQ(fs::status(other_key).permissions() & fs::perms::others_all, fs::perms::none);
    TempDir other_out;
    ASSERT_EQ(RunPublish({"--key", other_key, "--from", tree, "--out", other_out.path()}), 0);
    const std::string other_signature =
        ReadBytes(other_out.path() + "/kelvraeduclient/update.inf.sig");

    std::string tampered = control;
    tampered[tampered.find("newversion=") + 11] ^= 1;
    const struct {
        const char* what;
        std::string signature;
        update::Ed25519PublicKey key;
        std::string message;
        bool valid;
    } cases[] = {
        {"as published", signature, update::ReleasePublicKey(), control, true},
        {"one byte changed", signature, update::ReleasePublicKey(), tampered, false},
        {"truncated", signature, update::ReleasePublicKey(), control.substr(0, control.size() - 1),
         false},
        {"another publisher", other_signature, update::ReleasePublicKey(), control, false},
        {"another publisher's own key", other_signature, PublicKeyOf(other_key + ".pub"), control,
         true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(update::VerifyReleaseSignature(c.message, c.signature, c.key), c.valid) << c.what;

    // A key is never overwritten.
    EXPECT_NE(RunPublish({"--new-key", other_key}), 0);
}

}  // namespace
}  // namespace kelvra::test
