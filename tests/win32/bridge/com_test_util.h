// Small helpers for the COM tests: OLE set-up, owned VARIANTs and DISPPARAMS in call
// order (COM wants the arguments last to first).
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kelvra::test {

struct OleScope {
    OleScope() { OleInitialize(nullptr); }
    ~OleScope() { OleUninitialize(); }
};

class Args {
  public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args() {
        for (VARIANT& v : values_)
            VariantClear(&v);
    }
    Args& Text(const wchar_t* text) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(text);
        values_.push_back(v);
        return *this;
    }
    Args& Int(LONG value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        values_.push_back(v);
        return *this;
    }
    Args& Empty() {
        VARIANT v;
        VariantInit(&v);
        values_.push_back(v);
        return *this;
    }
    // The DISPPARAMS for a call with these arguments in call order.
    DISPPARAMS Params() {
        reversed_.assign(values_.rbegin(), values_.rend());
        return DISPPARAMS{reversed_.empty() ? nullptr : reversed_.data(), nullptr,
                          static_cast<UINT>(reversed_.size()), 0};
    }

  private:
    std::vector<VARIANT> values_;
    std::vector<VARIANT> reversed_;  // shallow copies; values_ owns them
};

struct Excep {
    EXCEPINFO info{};
    ~Excep() {
        SysFreeString(info.bstrSource);
        SysFreeString(info.bstrDescription);
        SysFreeString(info.bstrHelpFile);
    }
    std::wstring Description() const { return info.bstrDescription ? info.bstrDescription : L""; }
    std::wstring Source() const { return info.bstrSource ? info.bstrSource : L""; }
};

// Invokes a member as a method with the arguments; result may be null.
inline HRESULT CallMethod(IDispatch* d, DISPID id, Args& args, Excep* excep = nullptr,
                          VARIANT* result = nullptr) {
    DISPPARAMS params = args.Params();
    UINT arg_err = 0;
    return d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                     excep ? &excep->info : nullptr, &arg_err);
}

inline DISPID IdOf(IDispatch* d, const wchar_t* name, HRESULT* hr = nullptr) {
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT got = d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (hr)
        *hr = got;
    return id;
}

// Waits on its own thread for a message box with this caption to appear (polling, with a
// deadline) and hands it to act, which looks at it and answers it. A box act leaves up
// is closed with Cancel after a while, so a wrong answer fails the test instead of hanging.
class BoxWatcher {
  public:
    BoxWatcher(std::wstring caption, std::function<void(HWND box)> act)
        : thread_([this, caption, act] {
              using namespace std::chrono;
              const auto deadline = steady_clock::now() + seconds(20);
              while (steady_clock::now() < deadline) {
                  if (HWND box = FindWindowW(L"#32770", caption.c_str())) {
                      found_ = true;
                      act(box);
                      const auto gone = steady_clock::now() + seconds(5);
                      while (IsWindow(box) && steady_clock::now() < gone)
                          std::this_thread::sleep_for(milliseconds(20));
                      if (IsWindow(box)) {
                          closed_by_act_ = false;
                          PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
                      }
                      return;
                  }
                  std::this_thread::sleep_for(milliseconds(20));
              }
          }) {}
    ~BoxWatcher() { Join(); }
    // Waits for the watcher; true when the box appeared and act's answer closed it.
    bool Join() {
        if (thread_.joinable())
            thread_.join();
        return found_ && closed_by_act_;
    }

  private:
    bool found_ = false;
    bool closed_by_act_ = true;
    std::thread thread_;
};

}  // namespace kelvra::test
