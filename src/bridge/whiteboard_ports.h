// What the whiteboard hand-off needs from the desktop: finding the running whiteboard's
// window and notifying it, and asking the shell to start a program.
#pragma once

#include <cstdint>
#include <string>

namespace kelvra::bridge {

inline constexpr const char* kWhiteboardWindowClass = "VantleMainFrame";
inline constexpr std::uint32_t kWhiteboardMessage = 3027;  // WM_USER + 2003

class WhiteboardWindows {
  public:
    virtual ~WhiteboardWindows() = default;
    // An opaque handle of the first top-level window of that class, or 0.
    virtual std::uintptr_t Find(const std::string& window_class) = 0;
    // Sends message 3027 synchronously; ansi is the course text in the ANSI code page.
    virtual void Notify(std::uintptr_t window, const std::string& ansi) = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;
    // Starts file with the parameters in directory, shown normally; the outcome is not
    // reported (a program that cannot start is not an error for the caller).
    virtual void Open(const std::string& file, const std::string& parameters,
                      const std::string& directory) = 0;
};

WhiteboardWindows& SystemWhiteboardWindows();
Shell& SystemShell();

}  // namespace kelvra::bridge
