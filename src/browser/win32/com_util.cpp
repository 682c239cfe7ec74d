#include "browser/win32/com_util.h"

#include <cstdio>

#include "browser/win32/guids.h"

namespace kelvra::browser::win32 {

std::string GuidText(const GUID& id) {
    char text[40];
    std::snprintf(text, sizeof text, "%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0],
                  id.Data4[1], id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6],
                  id.Data4[7]);
    return text;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const wchar_t* wide, std::size_t length) {
    if (wide == nullptr || length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
    return out;
}

std::string Narrow(const wchar_t* wide) {
    return wide ? Narrow(wide, wcslen(wide)) : std::string();
}

std::string VariantText(const VARIANT& value) {
    if (V_VT(&value) == VT_BSTR)
        return Narrow(V_BSTR(&value), SysStringLen(V_BSTR(&value)));
    VARIANT text;
    VariantInit(&text);
    const HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR);
    Check(hr);
    std::string out = Narrow(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
    VariantClear(&text);
    return out;
}

std::string ResultMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n ? Narrow(buffer, n) : std::string();
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() &&
           (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) {
        char code[32];
        std::snprintf(code, sizeof code, "OLE error %08lX", static_cast<unsigned long>(hr));
        text = code;
    }
    return text;
}

void Check(HRESULT hr) {
    if (FAILED(hr))
        throw BrowserError(ResultMessage(hr), static_cast<HResult>(hr));
}

ui::Message ToMessage(const MSG& msg) {
    ui::Message m;
    m.window = msg.hwnd;
    m.message = msg.message;
    m.wparam = msg.wParam;
    m.lparam = msg.lParam;
    return m;
}

MSG ToMsg(const ui::Message& message) {
    MSG msg{};
    msg.hwnd = static_cast<HWND>(message.window);
    msg.message = message.message;
    msg.wParam = message.wparam;
    msg.lParam = message.lparam;
    msg.time = static_cast<DWORD>(GetMessageTime());
    const DWORD pos = GetMessagePos();
    msg.pt.x = static_cast<short>(LOWORD(pos));
    msg.pt.y = static_cast<short>(HIWORD(pos));
    return msg;
}

Bstr::Bstr(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    s_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace kelvra::browser::win32
