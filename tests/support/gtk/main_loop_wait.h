// Waiting in tests of the GTK backends: the GLib main loop turns while a condition is awaited.
#pragma once

#include <chrono>
#include <functional>

namespace kelvra::test {

// Turns the default main context until condition holds or timeout passes; whether it holds.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace kelvra::test
