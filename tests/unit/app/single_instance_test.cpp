#include <gtest/gtest.h>

#include "app/single_instance.h"
#include "platform/named_mutex.h"
#include "test_support.h"
#include "ui/dialog_script.h"

namespace kelvra::app {
namespace {

using namespace std::chrono_literals;

class FixedMutexes final : public platform::NamedMutexes {
  public:
    explicit FixedMutexes(platform::MutexOutcome o) : outcome(o) {}
    platform::MutexOutcome CreateHeld(std::string_view n) override {
        name = std::string(n);
        return outcome;
    }
    platform::MutexOutcome outcome;
    std::string name;
};

class CountingBoxes final : public ui::MessageBoxes {
  public:
    ui::MsgResult Show(const ui::MessageBoxRequest& r) override {
        last = r;
        ++count;
        return ui::MsgResult::Ok;
    }
    ui::MessageBoxRequest last;
    int count = 0;
};

TEST(SingleInstance, OnlyAlreadyExistsStopsStartUp) {
    for (auto outcome : {platform::MutexOutcome::Created, platform::MutexOutcome::Failed}) {
        FixedMutexes mutexes(outcome);
        CountingBoxes boxes;
        EXPECT_TRUE(AcquireSingleInstance(mutexes, boxes));
        EXPECT_EQ(mutexes.name, "KelvraCloudApp");
        EXPECT_EQ(boxes.count, 0);
    }
    FixedMutexes mutexes(platform::MutexOutcome::AlreadyExists);
    CountingBoxes boxes;
    EXPECT_FALSE(AcquireSingleInstance(mutexes, boxes));
    ASSERT_EQ(boxes.count, 1);
    EXPECT_EQ(boxes.last.text, "已经有一个Kelvra教学云客户端在运行了!");
    EXPECT_EQ(boxes.last.caption, "Kelvra教学云客户端");
    EXPECT_EQ(boxes.last.icon, ui::MsgIcon::Information);
    EXPECT_EQ(boxes.last.buttons, ui::MsgButtons::Ok);
    EXPECT_EQ(boxes.last.owner, nullptr);
}

TEST(SingleInstance, SecondCopyShowsMessageAndExitsZeroAndKilledCopyFreesTheGuard) {
    test::TempDir dir;
    // Isolates the lock file on Linux; Wine keeps mutexes in its own server.
    test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
    const std::string probe = test::TestProgram("guard_probe");
    const std::string first_marker = dir.File("first.txt");
    const std::string script = dir.File("dialogs.txt");

    auto first =
        std::make_unique<test::ChildProcess>(probe, std::vector<std::string>{first_marker});
    ASSERT_TRUE(test::WaitUntil([&] { return test::PathExists(first_marker); }, 30s));

    const std::string second_marker = dir.File("second.txt");
    test::ChildProcess second(probe, {second_marker}, {"KELVRA_DIALOG_SCRIPT=" + script});
    const auto code = second.Wait(30s);
    ASSERT_TRUE(code.has_value()) << "second copy did not end";
    EXPECT_EQ(*code, 0);
    EXPECT_FALSE(test::PathExists(second_marker));
    const auto records = ui::ReadScriptRecords(test::ReadBytes(script));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields.at("text"), "已经有一个Kelvra教学云客户端在运行了!");
    EXPECT_EQ(records[0].fields.at("caption"), "Kelvra教学云客户端");
    EXPECT_EQ(records[0].fields.at("icon"), "Information");
    EXPECT_EQ(records[0].fields.at("buttons"), "OK");
    EXPECT_FALSE(first->Wait(0ms).has_value()) << "the running copy must be unaffected";

    first->Kill();
    first.reset();
    const std::string third_marker = dir.File("third.txt");
    test::ChildProcess third(probe, {third_marker}, {"KELVRA_DIALOG_SCRIPT=" + script});
    EXPECT_TRUE(test::WaitUntil([&] { return test::PathExists(third_marker); }, 30s))
        << "a start after the first copy was killed must proceed";
    third.Kill();
    EXPECT_EQ(ui::ReadScriptRecords(test::ReadBytes(script)).size(), 1u);
}

TEST(SingleInstance, TwentyCopiesStartedAtOnceLeaveExactlyOneRunning) {
    constexpr int kCopies = 20;
    constexpr int kRounds = 10;
    const std::string probe = test::TestProgram("guard_probe");
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        test::TempDir dir;
        test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
        std::vector<std::unique_ptr<test::ChildProcess>> copies;
        for (int i = 0; i < kCopies; ++i) {
            const std::string n = std::to_string(i);
            copies.push_back(std::make_unique<test::ChildProcess>(
                probe, std::vector<std::string>{dir.File("running" + n)},
                std::vector<std::string>{"KELVRA_DIALOG_SCRIPT=" + dir.File("dialogs" + n)}));
        }
        // Every copy but one ends with 0 after its message; the one left holds the guard.
        auto ended = [&] {
            int n = 0;
            for (auto& copy : copies)
                n += copy->Wait(0ms).has_value() ? 1 : 0;
            return n;
        };
        EXPECT_TRUE(test::WaitUntil([&] { return ended() >= kCopies - 1; }, 120s));
        int runner = -1;
        for (int i = 0; i < kCopies; ++i) {
            const std::string n = std::to_string(i);
            if (const auto code = copies[i]->Wait(0ms)) {
                EXPECT_EQ(*code, 0) << "copy " << n;
                EXPECT_FALSE(test::PathExists(dir.File("running" + n))) << "copy " << n;
                const auto records =
                    ui::ReadScriptRecords(test::ReadBytes(dir.File("dialogs" + n)));
                ASSERT_EQ(records.size(), 1u) << "copy " << n;
                EXPECT_EQ(records[0].fields.at("text"), "已经有一个Kelvra教学云客户端在运行了!");
            } else {
                EXPECT_TRUE(
                    test::WaitUntil([&] { return test::PathExists(dir.File("running" + n)); }, 30s))
                    << "copy " << n;
                EXPECT_FALSE(test::PathExists(dir.File("dialogs" + n))) << "copy " << n;
                EXPECT_EQ(runner, -1) << "copies " << runner << " and " << n << " both run";
                runner = i;
            }
        }
        EXPECT_EQ(ended(), kCopies - 1);
        EXPECT_NE(runner, -1);
        for (auto& copy : copies)
            copy->Kill();
    }
}

}  // namespace
}  // namespace kelvra::app
