// Entry of the restart program (see restart_program.h). A windowed program on Windows.
#include "restart_program.h"
#include "tool_common.h"

#ifdef _WIN32
#include <windows.h>
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    auto request =
        kelvra::tools::ParseRestartArguments(kelvra::tools::ProgramArguments(0, nullptr));
    return request ? kelvra::tools::RunRestart(*request) : 1;
}
#else
#include <iostream>
int main(int argc, char** argv) {
    auto request =
        kelvra::tools::ParseRestartArguments(kelvra::tools::ProgramArguments(argc, argv));
    if (!request) {
        std::cerr << "usage: kusetup PID L|X APPLICATION PARAMETERS STAGING COMPONENTS\n";
        return 1;
    }
    return kelvra::tools::RunRestart(*request);
}
#endif
