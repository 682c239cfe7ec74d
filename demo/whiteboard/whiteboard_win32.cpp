// The whiteboard stand-in on Windows: a top-level window of class "VantleMainFrame".
// Message 3027 makes it read the hand-off value from HKEY_CURRENT_USER; its command line
// may carry a course text too. It shows the latest text and records each one.
#include <windows.h>

#include "platform/win32/wide.h"
#include "whiteboard_record.h"

namespace {

using kelvra::platform::win32::Narrow;
using kelvra::platform::win32::Widen;

std::string g_record_file;
HWND g_text = nullptr;

void Show(const std::string& text) {
    if (g_text)
        SetWindowTextW(g_text, Widen(text).c_str());
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CREATE:
            g_text = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 8, 8, 600, 200,
                                     window, nullptr, GetModuleHandleW(nullptr), nullptr);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    if (message == kelvra::demo::kHandOffMessage) {
        // lParam points into the sender's process; the text comes from the registry.
        const std::string text = kelvra::demo::ReadHandOffValue();
        kelvra::demo::RecordText(g_record_file, "3027", text);
        Show(text);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    const std::string command_line = Narrow(GetCommandLineW());
    const kelvra::demo::WhiteboardOptions options =
        kelvra::demo::ParseRawParameters(kelvra::demo::ParametersOf(command_line));
    g_record_file = options.record_file;

    const std::wstring class_name = Widen(kelvra::demo::kWindowClass);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = class_name.c_str();
    if (!RegisterClassExW(&wc))
        return 1;
    HWND window =
        CreateWindowExW(0, class_name.c_str(), L"Whiteboard", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 640, 260, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    if (!options.course_text.empty()) {
        kelvra::demo::RecordText(g_record_file, "start", options.course_text);
        Show(options.course_text);
    }
    ShowWindow(window, show);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
