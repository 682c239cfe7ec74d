// A lock and a condition over the system's slim reader/writer lock and condition variable,
// for hand-offs between threads that happen on every request. Under Wine these wait on
// futexes, while the C++ library's (over winpthreads) wait on semaphores, each wait and wake a
// round trip to Wine's server: handing a request to a worker and back cost about a
// millisecond that way.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <mutex>

namespace kelvra::update {

class SlimMutex {
  public:
    SlimMutex() = default;
    SlimMutex(const SlimMutex&) = delete;
    SlimMutex& operator=(const SlimMutex&) = delete;
    void lock() { AcquireSRWLockExclusive(&lock_); }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != FALSE; }
    SRWLOCK* native() { return &lock_; }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

class SlimCondition {
  public:
    SlimCondition() = default;
    SlimCondition(const SlimCondition&) = delete;
    SlimCondition& operator=(const SlimCondition&) = delete;
    void notify_one() { WakeConditionVariable(&condition_); }
    void notify_all() { WakeAllConditionVariable(&condition_); }

    // Waits (lock held) until ready() holds or timeout has passed; what ready() says last.
    template <class Ready>
    bool wait_for(std::unique_lock<SlimMutex>& lock, std::chrono::milliseconds timeout,
                  Ready ready) {
        using Clock = std::chrono::steady_clock;
        const Clock::time_point deadline = Clock::now() + timeout;
        while (!ready()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return ready();
            // Time-outs and spurious wakes alike go round the loop again.
            SleepConditionVariableSRW(&condition_, lock.mutex()->native(),
                                      static_cast<DWORD>(std::min<long long>(left, INFINITE - 1)),
                                      0);
        }
        return true;
    }

  private:
    CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
};

}  // namespace kelvra::update
