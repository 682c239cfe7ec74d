// An outside automation client, as a page script or another program would be: it creates
// the client's class out of process by its ProgID, reads GetKelvraApp, calls ShowHint and
// releases the object, as many times as its second argument says (default once), and
// writes what it read to the file named by its first argument ("error <what> 0x<HRESULT>
// in round <n>" when a step fails; it stops there). Exits 0 when every round read a text.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Failure(const char* what, HRESULT hr) {
    char text[64];
    std::snprintf(text, sizeof text, "error %s 0x%08lX", what, static_cast<unsigned long>(hr));
    return text;
}

bool IsFailure(const std::string& text) {
    return text.rfind("error ", 0) == 0;
}

DISPID IdOf(IDispatch* app, const wchar_t* name, HRESULT& hr) {
    std::wstring member = name;
    LPOLESTR names[] = {member.data()};
    DISPID id = DISPID_UNKNOWN;
    hr = app->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// ShowHint with two texts: the arguments cross the process boundary and are freed there.
HRESULT ShowHint(IDispatch* app) {
    HRESULT hr = S_OK;
    const DISPID id = IdOf(app, L"ShowHint", hr);
    if (FAILED(hr))
        return hr;
    VARIANT args[2];
    for (VARIANT& v : args) {
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(L"hint");
    }
    DISPPARAMS params{args, nullptr, 2, 0};
    hr = app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                     nullptr);
    for (VARIANT& v : args)
        VariantClear(&v);
    return hr;
}

std::string ReadIdentity(const CLSID& clsid) {
    IDispatch* app = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                  reinterpret_cast<void**>(&app));
    if (FAILED(hr))
        return Failure("create", hr);
    const DISPID id = IdOf(app, L"GetKelvraApp", hr);
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none{};
    if (SUCCEEDED(hr))
        hr = app->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                         nullptr, nullptr);
    const HRESULT hint = SUCCEEDED(hr) ? ShowHint(app) : S_OK;
    app->Release();
    if (FAILED(hr))
        return Failure("read", hr);
    if (FAILED(hint))
        return Failure("hint", hint);
    if (V_VT(&result) != VT_BSTR)
        return Failure("type", V_VT(&result));
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, V_BSTR(&result), -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, V_BSTR(&result), -1, text.data(), size, nullptr, nullptr);
    VariantClear(&result);
    return text;
}

// The text every round read, or the first failure with its round.
std::string ReadRounds(int rounds) {
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(L"KelvraeduApp.TKelvraAppToIe", &clsid);
    if (FAILED(hr))
        return Failure("progid", hr);
    std::string first;
    for (int round = 1; round <= rounds; ++round) {
        std::string text = ReadIdentity(clsid);
        if (IsFailure(text))
            return text + " in round " + std::to_string(round);
        if (round == 1)
            first = text;
        else if (text != first)
            return "error changed to \"" + text + "\" in round " + std::to_string(round);
    }
    return first;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3)
        return 2;
    const int rounds = argc == 3 ? std::atoi(argv[2]) : 1;
    if (rounds < 1)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string text = ReadRounds(rounds);
    CoUninitialize();
    FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr)
        return 2;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    return IsFailure(text) ? 1 : 0;
}
