// The whiteboard ports on Windows: FindWindowW, SendMessageW 3027 and ShellExecuteW.
#include <windows.h>

#include <shellapi.h>

#include "bridge/whiteboard_ports.h"
#include "platform/win32/wide.h"

namespace kelvra::bridge {
namespace {

using platform::win32::Widen;

class Win32Windows final : public WhiteboardWindows {
  public:
    std::uintptr_t Find(const std::string& window_class) override {
        return reinterpret_cast<std::uintptr_t>(FindWindowW(Widen(window_class).c_str(), nullptr));
    }
    void Notify(std::uintptr_t window, const std::string& ansi) override {
        // lParam is the address of our variable holding the pointer to the text; it is
        // valid only in this process and only while the message is being sent.
        const char* text = ansi.c_str();
        const char** holder = &text;
        SendMessageW(reinterpret_cast<HWND>(window), kWhiteboardMessage, 0,
                     reinterpret_cast<LPARAM>(holder));
    }
};

class Win32Shell final : public Shell {
  public:
    void Open(const std::string& file, const std::string& parameters,
              const std::string& directory) override {
        ShellExecuteW(nullptr, L"open", Widen(file).c_str(), Widen(parameters).c_str(),
                      Widen(directory).c_str(), SW_SHOW);
    }
};

}  // namespace

WhiteboardWindows& SystemWhiteboardWindows() {
    static Win32Windows windows;
    return windows;
}

Shell& SystemShell() {
    static Win32Shell shell;
    return shell;
}

}  // namespace kelvra::bridge
