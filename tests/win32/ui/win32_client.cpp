#include "win32_client.h"

namespace kelvra::test {
namespace {

struct Search {
    const wchar_t* window_class;
    const std::wstring* text;
    HWND found = nullptr;
};

BOOL CALLBACK Match(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (_wcsicmp(ClassOf(hwnd).c_str(), s->window_class) == 0 && WindowText(hwnd) == *s->text) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

HWND FindChild(HWND parent, const wchar_t* window_class, const std::wstring& text) {
    Search s{window_class, &text};
    EnumChildWindows(parent, &Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

}  // namespace kelvra::test
