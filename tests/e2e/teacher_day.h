// A teacher's day on the real Linux client against the demo platform: popups opened and
// closed, sign-outs and expired sessions with popups open, lessons handed to the running
// demo whiteboard and settings-dialog round trips, each sign-in after its update check.
// Resident memory and web processes are sampled after a warm-up and after each phase.
#pragma once

#include <string>
#include <vector>

namespace kelvra::e2e {

struct DayPlan {
    int popups = 200;         // opened and closed one after the other
    int sign_outs = 20;       // each with popups open at the time
    int expiries = 20;        // the same, the session ended by the server
    int lessons = 500;        // handed to the running whiteboard
    int settings_trips = 50;  // spread over the login windows of the re-logins
    int popups_per_relogin = 2;

    // The whole day divided by divisor (every count at least one).
    DayPlan Divided(int divisor) const;
};

// The client's process tree: its resident memory and its web processes.
struct Footprint {
    long rss_kb = 0;  // the client and every descendant
    int web_processes = 0;
};
Footprint MeasureTree(long pid);

struct PhaseSample {
    std::string name;
    double seconds = 0;  // the phase's duration
    Footprint footprint;
    int web_views = 0;  // web processes the client should have at this point
};

struct DayReport {
    std::vector<PhaseSample> samples;  // warm-up first, end of the day last
    int popups_opened = 0;             // counted by the platform's request log
    int popups_released = 0;           // open when a re-login hid them
    int relogins = 0;
    int update_checks = 0;
    int lessons_delivered = 0;  // counted in the whiteboard's record
    int settings_saved = 0;
    bool client_alive = false;
    int exit_code = -1;      // of the client closed at the end of the day
    std::string client_log;  // what the client wrote to its error output
    std::string dialogs;     // boxes and prompts the client showed

    const PhaseSample& Sample(const std::string& name) const;
    // Growth in kilobytes per step of a phase, from the sample before it.
    double GrowthPerStepKb(const std::string& phase, int steps) const;
    // The figures, as deltas and ratios against the warm-up sample.
    std::string Table(const DayPlan& plan) const;
};

// Runs the day on a private X server; throws when a step does not happen in time.
DayReport RunTeacherDay(const DayPlan& plan);

}  // namespace kelvra::e2e
