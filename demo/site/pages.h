// The demo platform's pages: a stand-in for the teaching platform's web site with what the
// client relies on (login page, teacher home page, sized new-window links, frames, a
// lesson button calling the external object) and the update server's control file.
#pragma once

#include <string>

namespace kelvra::demo {

std::string LoginPage(bool expired, const std::string& failed_user);
std::string HomePage(const std::string& user);
std::string FramesPage();
std::string FrameInnerPage(int step);
std::string LessonPage(int number);
// The update control file: with newer, it offers an update unconditionally.
std::string UpdateControlFile(bool newer);

}  // namespace kelvra::demo
