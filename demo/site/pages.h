// The demo platform's pages: a stand-in for the teaching platform's web site with what the
// client relies on (login page, teacher home page, sized new-window links, frames, a
// lesson button calling the external object) and the update server's control file.
#pragma once

#include <string>
#include <vector>

namespace kelvra::demo {

std::string LoginPage(bool expired, const std::string& failed_user);
std::string HomePage(const std::string& user);
std::string FramesPage();
std::string FrameInnerPage(int step);
std::string LessonPage(int number);
// A teacher page whose frames each reach the login page by themselves: after the given
// milliseconds, or (after < 0) once the server is armed (GET /demo/arm).
std::string ExpiringPage(const std::vector<int>& after);
std::string ExpiringFramePage(int after);
// The update control file: with newer, it offers an update unconditionally.
std::string UpdateControlFile(bool newer);

}  // namespace kelvra::demo
