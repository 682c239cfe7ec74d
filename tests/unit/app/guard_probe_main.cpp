// A small program that takes the single-instance guard like the client does. When it is
// the first copy it writes the file named by its first argument and waits to be killed.
#include <chrono>
#include <thread>

#include "app/single_instance.h"
#include "platform/file_system.h"
#include "platform/named_mutex.h"
#include "ui/message_box.h"

int main(int argc, char** argv) {
    using namespace kelvra;
    if (!app::AcquireSingleInstance(platform::SystemNamedMutexes(),
                                    ui::ApplicationMessageBoxes())) {
        return 0;
    }
    if (argc > 1)
        platform::SystemFileSystem().ReplaceAtomically(argv[1], "running");
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
