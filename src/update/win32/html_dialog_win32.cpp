// The HTML dialog on Windows: ShowHTMLDialog of "MSHTML.DLL", loaded at run time, given a
// URL moniker of the address, an empty text as argument and no options.
#include <urlmon.h>
#include <windows.h>

#include <string>

#include "platform/win32/wide.h"
#include "update/html_dialog.h"

namespace kelvra::update {
namespace {

using ShowHTMLDialogFn = HRESULT(WINAPI*)(HWND, IMoniker*, VARIANT*, WCHAR*, VARIANT*);

using platform::win32::Widen;

IMoniker* UrlMoniker(const std::wstring& url) {
    IMoniker* moniker = nullptr;
    if (SUCCEEDED(CreateURLMonikerEx(nullptr, url.c_str(), &moniker, URL_MK_UNIFORM)))
        return moniker;
    if (SUCCEEDED(CreateURLMoniker(nullptr, url.c_str(), &moniker)))
        return moniker;
    return nullptr;
}

}  // namespace

void PlatformHtmlDialog(ui::NativeWindow owner, const std::string& url) {
    HMODULE lib = LoadLibraryW(L"MSHTML.DLL");
    if (lib == nullptr)
        return;
    auto show = reinterpret_cast<ShowHTMLDialogFn>(
        reinterpret_cast<void*>(GetProcAddress(lib, "ShowHTMLDialog")));
    if (show != nullptr) {
        if (IMoniker* moniker = UrlMoniker(Widen(url))) {
            VARIANT argument;
            VariantInit(&argument);
            argument.vt = VT_BSTR;
            argument.bstrVal = SysAllocString(L"");
            // The dialog returns what the page sets as its result; nothing here uses it.
            show(static_cast<HWND>(owner), moniker, &argument, nullptr, nullptr);
            VariantClear(&argument);
            moniker->Release();
        }
    }
    FreeLibrary(lib);
}

}  // namespace kelvra::update
