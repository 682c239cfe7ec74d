// The automation server behind the client's entry: it acts on the command-line switches
// (register or unregister the class and end, or offer it to other processes and carry
// on) and answers the application's termination check while outside clients hold
// objects. Windows registers a COM class; Linux offers the class on the D-Bus session bus
// and registers a bus activation file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/message_box.h"

namespace kelvra::ui {
class Application;
}

namespace kelvra::bridge {

struct ServerStart {
    bool carry_on = true;  // false: the process ends now with exit_code
    int exit_code = 0;
};

// args without the program name. Register and unregister mode show their failure in an
// error box titled "Application Error" and answer exit code 1; success answers 0.
ServerStart StartAutomationServer(const std::vector<std::string>& args);

// Whether the application may end: yes when no outside client holds an object, otherwise
// the user is asked ("COM Server Warning", Yes/No, No by default).
bool AutomationTerminationCheck();

// Withdraws the class from other processes; run once when the message loop has ended.
void StopAutomationServer();

// The box a failed registration shows ("Application Error", stop icon, OK) and the question
// of the termination check ("COM Server Warning", warning icon, Yes/No).
ui::MessageBoxRequest RegistrationFailureBox(const std::string& text);
ui::MessageBoxRequest TerminationQuestion();

// Ends the client in automation mode once the last outside object has gone: the initializer
// points it at the application's terminate request. (Windows posts WM_QUIT instead.)
void SetAutomationQuit(std::function<void()> quit);
void QuitAutomation();

// For windows::ClientPorts::initialize: starts the server, installs the termination check
// on the application, returns false to end the process with exit code 0 and ends it
// itself with any other exit code.
std::function<bool(ui::Application&)> AutomationServerInitializer(std::vector<std::string> args);

}  // namespace kelvra::bridge
