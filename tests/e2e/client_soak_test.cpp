// A shortened teacher's day (a tenth of the full one; KELVRA_SOAK_DIVISOR=1 runs it whole):
// every popup that was closed or hidden by a re-login has given up its web process, every
// step reached the platform and the whiteboard, and the client neither crashed nor
// complained. The memory figures are printed; their targets are judged by bench/soak.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "teacher_day.h"

namespace kelvra::e2e {
namespace {

int Divisor() {
    const char* text = std::getenv("KELVRA_SOAK_DIVISOR");
    const int divisor = text != nullptr ? std::atoi(text) : 10;
    return divisor > 0 ? divisor : 10;
}

TEST(TeacherDay, PopupsAndReloginsLeaveNoWebProcessAndNothingBreaks) {
    const DayPlan plan = DayPlan{}.Divided(Divisor());
    const DayReport report = RunTeacherDay(plan);
    std::printf("%s", report.Table(plan).c_str());

    for (const PhaseSample& sample : report.samples)
        EXPECT_EQ(sample.footprint.web_processes, sample.web_views) << "after " << sample.name;
    EXPECT_EQ(report.popups_opened, plan.popups + plan.popups_per_relogin * report.relogins);
    EXPECT_EQ(report.popups_released, plan.popups_per_relogin * report.relogins);
    EXPECT_EQ(report.update_checks, report.relogins) << "one update check per re-login";
    EXPECT_EQ(report.lessons_delivered, plan.lessons);
    EXPECT_EQ(report.settings_saved, plan.settings_trips);

    EXPECT_TRUE(report.client_alive) << report.client_log;
    EXPECT_EQ(report.exit_code, 0) << "closing the main window ends the client cleanly";
    EXPECT_EQ(report.dialogs.find("box:"), std::string::npos) << report.dialogs;
    for (const char* bad : {"CRITICAL", "WARNING", "ERROR", "Segmentation", "Aborted"})
        EXPECT_EQ(report.client_log.find(bad), std::string::npos) << report.client_log;
}

}  // namespace
}  // namespace kelvra::e2e
