// The current HTML document of a WebBrowser control, read through IHTMLDocument3: its
// elements by tag name and their properties by name.
#pragma once

#include <windows.h>

#include <ole2.h>

#include "browser/browser_control.h"
#include "browser/win32/com_util.h"

namespace kelvra::browser::win32 {

class Win32HtmlDocument final : public HtmlDocument3 {
  public:
    // document: the IHTMLDocument3 interface; a reference of its own is kept.
    explicit Win32HtmlDocument(IUnknown* document);
    std::unique_ptr<AnchorList> GetElementsByTagName(std::string_view tag) const override;

  private:
    ComPtr<IUnknown> document_;
};

// A property of an element read by name (IDispatch::GetIDsOfNames, then a property get) as
// text; raises Error naming the property when the element has none.
std::string ReadPropertyByName(IDispatch& element, std::string_view name);

}  // namespace kelvra::browser::win32
