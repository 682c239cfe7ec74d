// The Windows form of an external object: a browser::Dispatch that is a COM object. The
// automation side wraps its objects in this so that the document host can hand the page
// an IDispatch.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <functional>

#include "browser/browser_control.h"

namespace kelvra::browser::win32 {

class ComDispatch : public Dispatch {
  public:
    // The object's IDispatch with a new reference for the caller; null when it has none.
    virtual IDispatch* NewReference() const = 0;
};

// Finds the IDispatch of an external object that is not a ComDispatch (the entry point
// knows the automation side's own wrapper); returns it with a new reference, or null.
using ExternalResolver = std::function<IDispatch*(const Dispatch& external)>;

}  // namespace kelvra::browser::win32
