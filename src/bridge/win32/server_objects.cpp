#include "bridge/win32/server_objects.h"

#include <objbase.h>

namespace kelvra::bridge::win32 {
namespace {

LONG g_count = 0;
bool g_automation = false;
DWORD g_main_thread = 0;

}  // namespace

void SetServerAutomationMode(DWORD main_thread) {
    g_automation = true;
    g_main_thread = main_thread;
}

void ServerObjectAdded() {
    InterlockedIncrement(&g_count);
    if (g_automation)
        CoAddRefServerProcess();
}

void ServerObjectReleased() {
    InterlockedDecrement(&g_count);
    if (g_automation && CoReleaseServerProcess() == 0)
        PostThreadMessageW(g_main_thread, WM_QUIT, 0, 0);
}

LONG ServerObjectCount() {
    return InterlockedCompareExchange(&g_count, 0, 0);
}

}  // namespace kelvra::bridge::win32
