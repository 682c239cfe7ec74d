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

std::string VariantText(const VARIANT& value) {
    if (V_VT(&value) == VT_BSTR)
        return Narrow({V_BSTR(&value), SysStringLen(V_BSTR(&value))});
    VARIANT text;
    VariantInit(&text);
    const HRESULT hr = VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR);
    Check(hr);
    std::string out = Narrow({V_BSTR(&text), SysStringLen(V_BSTR(&text))});
    VariantClear(&text);
    return out;
}

std::string ResultMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = n ? Narrow({buffer, n}) : std::string();
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
    const std::wstring wide = Widen(utf8);
    s_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

}  // namespace kelvra::browser::win32
