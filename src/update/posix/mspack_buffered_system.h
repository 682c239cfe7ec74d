// A libmspack I/O system over stdio whose writes collect in a large buffer. libmspack's
// LZSS decoder (the SZDD format) hands every output byte to a separate write call, which
// through stdio's locking and error checks costs many times the decoding itself.
#pragma once

#include <mspack.h>

namespace kelvra::update {

class BufferedMspackSystem {
  public:
    BufferedMspackSystem();
    BufferedMspackSystem(const BufferedMspackSystem&) = delete;
    BufferedMspackSystem& operator=(const BufferedMspackSystem&) = delete;

    mspack_system* get() { return &state_.base; }
    // True once a write to any file opened through this system failed, including the
    // flush when the file was closed (which libmspack cannot report).
    bool write_failed() const { return state_.write_failed; }

    // The functions reach the flag through the system pointer libmspack passes them.
    struct State {
        mspack_system base;
        bool write_failed = false;
    };

  private:
    State state_;
};

}  // namespace kelvra::update
