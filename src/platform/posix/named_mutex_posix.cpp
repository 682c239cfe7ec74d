#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/named_mutex.h"

namespace kelvra::platform {
namespace {

std::string LockDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime) {
        return runtime;
    }
    // Without a runtime directory, a per-user folder under /tmp serves the same purpose.
    std::string dir = "/tmp/kelvra-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

class PosixNamedMutexes final : public NamedMutexes {
  public:
    MutexOutcome CreateHeld(std::string_view name) override {
        const std::string path = LockDirectory() + "/" + std::string(name) + ".lock";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return MutexOutcome::Failed;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::close(fd);
            return err == EWOULDBLOCK ? MutexOutcome::AlreadyExists : MutexOutcome::Failed;
        }
        // The descriptor stays open for the life of the process; the kernel drops the
        // lock when the process ends, however it ends.
        return MutexOutcome::Created;
    }
};

}  // namespace

NamedMutexes& SystemNamedMutexes() {
    static PosixNamedMutexes mutexes;
    return mutexes;
}

}  // namespace kelvra::platform
