// An outside automation client, as a page script or another program would be: it creates
// the client's class out of process by its ProgID, reads GetKelvraApp and writes what it
// got to the file named by its argument ("error <what> 0x<HRESULT>" when a step fails).
// Exits 0 when it read a text.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

std::string Failure(const char* what, HRESULT hr) {
    char text[64];
    std::snprintf(text, sizeof text, "error %s 0x%08lX", what, static_cast<unsigned long>(hr));
    return text;
}

std::string ReadIdentity() {
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(L"KelvraeduApp.TKelvraAppToIe", &clsid);
    if (FAILED(hr))
        return Failure("progid", hr);
    IDispatch* app = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&app));
    if (FAILED(hr))
        return Failure("create", hr);
    wchar_t member[] = L"GetKelvraApp";
    LPOLESTR names[] = {member};
    DISPID id = DISPID_UNKNOWN;
    hr = app->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{};
    if (SUCCEEDED(hr))
        hr = app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                         nullptr, nullptr);
    app->Release();
    if (FAILED(hr))
        return Failure("read", hr);
    if (V_VT(&result) != VT_BSTR)
        return Failure("type", V_VT(&result));
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, V_BSTR(&result), -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, V_BSTR(&result), -1, text.data(), size, nullptr, nullptr);
    VariantClear(&result);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string text = ReadIdentity();
    CoUninitialize();
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr)
        return 2;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    return text.rfind("error ", 0) == 0 ? 1 : 0;
}
