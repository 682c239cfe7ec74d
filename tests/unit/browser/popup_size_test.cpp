// The popup-size query over a page's anchors: which anchor gives the size, and the errors
// that reach the caller.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <vector>

#include "browser/popup_size.h"
#include "platform/error.h"

namespace kelvra::browser {
namespace {

struct FakeAnchor {
    std::optional<std::string> href;
    std::map<std::string, std::string> props;
};

class FakeAnchors final : public AnchorList {
  public:
    explicit FakeAnchors(std::vector<FakeAnchor> a) : anchors_(std::move(a)) {}
    std::size_t Length() const override { return anchors_.size(); }
    std::string Href(std::size_t i) const override {
        if (!anchors_.at(i).href)
            throw Error("no href");
        return *anchors_[i].href;
    }
    std::string Property(std::size_t i, std::string_view name) const override {
        auto it = anchors_.at(i).props.find(std::string(name));
        if (it == anchors_[i].props.end())
            throw Error("no property");
        return it->second;
    }

  private:
    std::vector<FakeAnchor> anchors_;
};

const std::string kAddr = "http://host/course/open?id=7";
const std::string kCarrier800x600 = "http://popup.kelvra.invalid/?dd&cwidth=800&cheight=600";

TEST(QueryPopupSize, MatchingRules) {
    struct Case {
        const char* name;
        std::vector<FakeAnchor> anchors;
        std::string expected;
    } cases[] = {
        {"no anchors", {}, ""},
        {"one match", {{kAddr, {{"fwidth", "800"}, {"fheight", "600"}}}}, kCarrier800x600},
        {"comparison is case-sensitive",
         {{"HTTP://host/course/open?id=7", {{"fwidth", "800"}, {"fheight", "600"}}}},
         ""},
        {"last match wins",
         {{kAddr, {{"fwidth", "300"}, {"fheight", "200"}}},
          {kAddr, {{"fwidth", "800"}, {"fheight", "600"}}}},
         kCarrier800x600},
        {"match without fheight empties an earlier match",
         {{kAddr, {{"fwidth", "800"}, {"fheight", "600"}}}, {kAddr, {{"fwidth", "500"}}}},
         ""},
        {"non-matching anchors after a match do not matter",
         {{kAddr, {{"fwidth", "800"}, {"fheight", "600"}}}, {"http://other", {}}},
         kCarrier800x600},
        {"values are copied as text",
         {{kAddr, {{"fwidth", "80a&x"}, {"fheight", ""}}}},
         "http://popup.kelvra.invalid/?dd&cwidth=80a&x&cheight="},
    };
    for (auto& c : cases) {
        FakeAnchors anchors(c.anchors);
        EXPECT_EQ(QueryPopupSize(&anchors, kAddr), c.expected) << c.name;
    }
}

TEST(QueryPopupSize, ErrorsThatEscape) {
    EXPECT_THROW(QueryPopupSize(nullptr, kAddr), Error);
    FakeAnchors no_href({{std::nullopt, {}}});
    EXPECT_THROW(QueryPopupSize(&no_href, kAddr), Error);
}

}  // namespace
}  // namespace kelvra::browser
