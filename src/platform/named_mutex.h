// Named mutex used as a marker between processes (Windows: CreateMutexW; Linux: a lock
// file under $XDG_RUNTIME_DIR held with flock, freed by the kernel when the process dies).
#pragma once

#include <string_view>

namespace kelvra::platform {

enum class MutexOutcome {
    Created,        // this process now holds it
    AlreadyExists,  // another process holds it
    Failed,         // it could not be created at all
};

class NamedMutexes {
  public:
    virtual ~NamedMutexes() = default;
    // The mutex is held until the process ends; it is never released explicitly.
    virtual MutexOutcome CreateHeld(std::string_view name) = 0;
};

NamedMutexes& SystemNamedMutexes();

}  // namespace kelvra::platform
