// The automation server's object count: live instances made for outside clients plus
// LockServer locks. In automation mode each change also holds or releases the COM
// server process, and the last release ends the main thread's message loop.
#pragma once

#include <windows.h>

namespace kelvra::bridge::win32 {

// Automation mode: changes reference the server process; the quit message goes to thread.
void SetServerAutomationMode(DWORD main_thread);
void ServerObjectAdded();
void ServerObjectReleased();
LONG ServerObjectCount();

}  // namespace kelvra::bridge::win32
