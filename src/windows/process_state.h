// Process-wide state the windows share. Everything is touched on the GUI thread only.
#pragma once

#include <string>

namespace kelvra::windows {

class TFrmMain;
class TFrmLogin;
class TFrmBrowser;
class TFrmsysSet;

struct ProcessState {
    std::string WebRoot;
    std::string WhiteboardPath;
    bool LoginSucceeded = false;
    // The newest window of each class; the application object owns them all.
    TFrmMain* FrmMain = nullptr;
    TFrmLogin* FrmLogin = nullptr;
    TFrmBrowser* FrmBrowser = nullptr;
    TFrmsysSet* FrmsysSet = nullptr;
};

}  // namespace kelvra::windows
