#include "gtk/main_loop_wait.h"

#include <glib.h>

namespace kelvra::test {

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    // A tick wakes the blocking iteration, so the deadline is seen without spinning.
    const guint tick = g_timeout_add(
        20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool met = condition();
    while (!met && std::chrono::steady_clock::now() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
        met = condition();
    }
    g_source_remove(tick);
    return met;
}

}  // namespace kelvra::test
