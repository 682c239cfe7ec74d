// Small COM helpers of the browser host: an owning interface pointer, text conversion at
// the COM boundary, and errors built from result codes.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>
#include <utility>

#include "browser/browser_control.h"
#include "platform/win32/wide.h"

namespace kelvra::browser::win32 {

// Holds one reference to an interface; releases it when reset or destroyed.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference the caller already owns.
    static ComPtr Attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    // Adds a reference of its own.
    static ComPtr Share(T* p) {
        if (p)
            p->AddRef();
        return Attach(p);
    }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Out-parameter slot for a call that hands over a reference.
    T** Out() {
        Reset();
        return &p_;
    }
    // The object's other interface, or empty.
    template <class U>
    ComPtr<U> As(const GUID& iid) const {
        ComPtr<U> r;
        if (p_)
            p_->QueryInterface(iid, reinterpret_cast<void**>(r.Out()));
        return r;
    }

  private:
    T* p_ = nullptr;
};

using platform::win32::Narrow;
using platform::win32::Widen;
// A string variant's text (BSTR, or converted with VariantChangeType); throws on failure.
std::string VariantText(const VARIANT& value);

// The system's message for a result code, or "OLE error XXXXXXXX" when it has none.
std::string ResultMessage(HRESULT hr);
// Raises BrowserError carrying hr when it is a failure.
void Check(HRESULT hr);

// Messages between the loop's portable form and the system's.
ui::Message ToMessage(const MSG& msg);
MSG ToMsg(const ui::Message& message);

// Owns a BSTR.
class Bstr {
  public:
    explicit Bstr(const std::string& utf8);
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return s_; }

  private:
    BSTR s_;
};

}  // namespace kelvra::browser::win32
