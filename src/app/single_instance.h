// The single-instance guard taken at the start of the entry.
#pragma once

namespace kelvra::platform {
class NamedMutexes;
}
namespace kelvra::ui {
class MessageBoxes;
}

namespace kelvra::app {

// Creates the mutex "KelvraCloudApp". When another copy holds it, shows the
// single-instance message and returns false: the caller ends the process with code 0.
// Any other outcome, including a failure to create the mutex, returns true.
bool AcquireSingleInstance(platform::NamedMutexes& mutexes, ui::MessageBoxes& boxes);

}  // namespace kelvra::app
