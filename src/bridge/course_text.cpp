#include "bridge/course_text.h"

#include "bridge/automation_error.h"
#include "platform/code_page.h"

namespace kelvra::bridge {
namespace {

void AppendAsText(std::u16string& out, const Variant& value) {
    if (value.IsArray()) {
        throw AutomationError(kInvalidVariantOperation);
    }
    switch (value.vt()) {
        case kVtEmpty:
            return;
        case kVtBstr:
            out += value.text();
            return;
        case kVtNull:
        case kVtI2:
        case kVtI4:
        case kVtR4:
        case kVtR8:
        case kVtCy:
        case kVtDate:
        case kVtBool:
        case kVtDecimal:
        case kVtI1:
        case kVtUi1:
        case kVtUi2:
        case kVtUi4:
        case kVtI8:
        case kVtUi8:
        case kVtInt:
        case kVtUint:
            throw ConversionError(value.vt(), kVtBstr);
        default:
            throw AutomationError(kInvalidVariantOperation);
    }
}

}  // namespace

std::u16string BuildCourseText(const std::array<Variant, 6>& values) {
    std::u16string out = u"\"";
    for (const Variant& value : values) {
        AppendAsText(out, value);
        out += kCourseSeparator;
    }
    out += u"\"";
    return out;
}

AnsiText ThroughCodePage(const platform::CodePage& code_page, std::u16string_view text) {
    AnsiText out;
    out.ansi = code_page.FromUtf16(text);
    out.wide = code_page.ToUtf16(out.ansi);
    return out;
}

}  // namespace kelvra::bridge
