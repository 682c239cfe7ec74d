#include <windows.h>

#include "platform/named_mutex.h"
#include "platform/win32/wide.h"

namespace kelvra::platform {
namespace {

class Win32NamedMutexes final : public NamedMutexes {
  public:
    MutexOutcome CreateHeld(std::string_view name) override {
        // Initial ownership requested, default security. The handle is never closed: the
        // system frees the mutex when the process ends.
        HANDLE h = CreateMutexW(nullptr, TRUE, win32::Widen(name).c_str());
        const DWORD err = GetLastError();
        if (err == ERROR_ALREADY_EXISTS)
            return MutexOutcome::AlreadyExists;
        return h != nullptr ? MutexOutcome::Created : MutexOutcome::Failed;
    }
};

}  // namespace

NamedMutexes& SystemNamedMutexes() {
    static Win32NamedMutexes mutexes;
    return mutexes;
}

}  // namespace kelvra::platform
