// The Windows external object as the browser port sees it: it holds one reference to a
// TTKelvraAppToIe, and the Win32 browser backend hands its IDispatch to the page.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "browser/browser_control.h"

namespace kelvra::bridge::win32 {

class ExternalDispatch final : public browser::Dispatch {
  public:
    // Takes over the reference dispatch holds.
    explicit ExternalDispatch(IDispatch* dispatch) : dispatch_(dispatch) {}
    ~ExternalDispatch() override {
        if (dispatch_)
            dispatch_->Release();
    }
    ExternalDispatch(const ExternalDispatch&) = delete;
    ExternalDispatch& operator=(const ExternalDispatch&) = delete;

    // Borrowed: AddRef it to hand it out (GetExternal returns it holding one reference).
    IDispatch* get() const { return dispatch_; }

  private:
    IDispatch* dispatch_;
};

}  // namespace kelvra::bridge::win32
