// The boundary of every host method: no C++ exception reaches the control. Host events
// already show their own errors (browser/doc_host.cpp); anything else that escapes here is
// a failure of the host itself and answers E_FAIL.
#pragma once

#include <windows.h>

#include "browser/hosted_browser.h"

namespace kelvra::browser::win32 {

template <class F>
HRESULT HostAnswer(THostedBrowser* browser, F&& answer) noexcept {
    if (browser == nullptr)
        return E_UNEXPECTED;  // the browser is gone; the control is being torn down
    try {
        return static_cast<HRESULT>(answer(*browser));
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace kelvra::browser::win32
