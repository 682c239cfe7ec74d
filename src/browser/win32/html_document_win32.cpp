#include "browser/win32/html_document_win32.h"

#include <mshtml.h>

#include <vector>

namespace kelvra::browser::win32 {
namespace {

class ElementList final : public AnchorList {
  public:
    explicit ElementList(std::vector<ComPtr<IDispatch>> elements)
        : elements_(std::move(elements)) {}
    std::size_t Length() const override { return elements_.size(); }
    std::string Href(std::size_t index) const override { return Property(index, "href"); }
    std::string Property(std::size_t index, std::string_view name) const override {
        return ReadPropertyByName(*elements_.at(index).Get(), name);
    }

  private:
    std::vector<ComPtr<IDispatch>> elements_;
};

}  // namespace

std::string ReadPropertyByName(IDispatch& element, std::string_view name) {
    std::wstring wide = Widen(std::string(name));
    LPOLESTR names[] = {wide.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(element.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)))
        throw Error("The element has no property \"" + std::string(name) + "\"");
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = element.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                      &none, &value, nullptr, nullptr);
    if (FAILED(hr))
        throw BrowserError(
            "The property \"" + std::string(name) + "\" cannot be read: " + ResultMessage(hr),
            static_cast<HResult>(hr));
    std::string text;
    try {
        text = V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL ? "" : VariantText(value);
    } catch (...) {
        VariantClear(&value);
        throw;
    }
    VariantClear(&value);
    return text;
}

Win32HtmlDocument::Win32HtmlDocument(IUnknown* document)
    : document_(ComPtr<IUnknown>::Share(document)) {}

std::unique_ptr<AnchorList> Win32HtmlDocument::GetElementsByTagName(std::string_view tag) const {
    auto* doc = reinterpret_cast<IHTMLDocument3*>(document_.Get());
    Bstr name{std::string(tag)};
    ComPtr<IHTMLElementCollection> collection;
    Check(doc->getElementsByTagName(name.Get(), collection.Out()));
    std::vector<ComPtr<IDispatch>> elements;
    if (!collection)
        return std::make_unique<ElementList>(std::move(elements));
    long length = 0;
    Check(collection->get_length(&length));
    for (long i = 0; i < length; ++i) {
        VARIANT index;
        VariantInit(&index);
        V_VT(&index) = VT_I4;
        V_I4(&index) = i;
        VARIANT unused;
        VariantInit(&unused);
        ComPtr<IDispatch> element;
        Check(collection->item(index, unused, element.Out()));
        if (element)
            elements.push_back(element);
    }
    return std::make_unique<ElementList>(std::move(elements));
}

}  // namespace kelvra::browser::win32
