// Saves the settings file named by its first argument through the client's settings store,
// over and over ("once": a single save). Each save raises [SYSTEM] gen by one and writes a
// 200,000-byte pad derived from it, so a torn file is recognised.
#include <cstdio>
#include <string>

#include "app/ini_store.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "settings_saver.h"

int main(int argc, char** argv) {
    using namespace kelvra;
    if (argc < 2)
        return 2;
    const bool once = argc > 2 && std::string(argv[2]) == "once";
    do {
        app::TIniStore ini(argv[1], true, platform::SystemFileSystem(), platform::SystemCodePage());
        const long gen = std::stol(ini.ReadString("SYSTEM", "gen", "0")) + 1;
        ini.WriteString("SYSTEM", "gen", std::to_string(gen));
        ini.WriteString("SYSTEM", "pad", test::SaverPad(gen));
        ini.UpdateFile();
    } while (!once);
    return 0;
}
