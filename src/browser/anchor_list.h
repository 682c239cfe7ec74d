// The anchors of a page, as the popup-size query reads them: what a document's
// GetElementsByTagName("a") gives.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvra::browser {

class AnchorList {
  public:
    virtual ~AnchorList() = default;
    virtual std::size_t Length() const = 0;
    // The element's "href" property; throws Error when it cannot be read.
    virtual std::string Href(std::size_t index) const = 0;
    // A property read by name as text; throws Error when the element has none.
    virtual std::string Property(std::size_t index, std::string_view name) const = 0;
};

}  // namespace kelvra::browser
