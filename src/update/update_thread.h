// TInetThread: the worker thread of a threaded update. It starts running on creation, runs
// the engine's DoUpdate and, when that has ended (also by an error), calls done from the
// worker thread; the engine uses it to post its thread-done step to the GUI thread.
#pragma once

#include <exception>
#include <functional>
#include <thread>

namespace kelvra::update {

class TUpdateEngine;

class TInetThread {
  public:
    TInetThread(TUpdateEngine& engine, bool init_path, std::function<void()> done);
    ~TInetThread();
    TInetThread(const TInetThread&) = delete;
    TInetThread& operator=(const TInetThread&) = delete;

    TUpdateEngine& Engine;
    const bool FInitPath;

    // The error that ended DoUpdate, if any (read after done was called).
    std::exception_ptr Error() const { return error_; }
    void Join();

  private:
    std::exception_ptr error_;
    std::thread thread_;
};

}  // namespace kelvra::update
