#include "bridge/variant.h"

#include "platform/text.h"

namespace kelvra::bridge {

Variant Variant::Text(std::u16string text) {
    Variant v = Of(kVtBstr);
    v.text_ = std::move(text);
    return v;
}

Variant Variant::TextUtf8(std::string_view utf8) {
    return Text(text::Utf8ToUtf16(utf8));
}

Variant Variant::Int(std::uint16_t vt, std::int64_t value) {
    Variant v = Of(vt);
    v.integer_ = value;
    return v;
}

Variant Variant::Real(std::uint16_t vt, double value) {
    Variant v = Of(vt);
    v.real_ = value;
    return v;
}

Variant Variant::Bool(bool value) {
    return Int(kVtBool, value ? -1 : 0);
}
Variant Variant::Currency(std::int64_t scaled) {
    return Int(kVtCy, scaled);
}
Variant Variant::Date(double value) {
    return Real(kVtDate, value);
}
Variant Variant::ErrorCode(std::int32_t scode) {
    return Int(kVtError, scode);
}
Variant Variant::Object(std::uint16_t vt) {
    return Of(vt);
}
Variant Variant::Array(std::uint16_t element_vt) {
    return Of(static_cast<std::uint16_t>(kVtArray | (element_vt & 0x0FFF)));
}

std::string VarTypeName(std::uint16_t vt) {
    if (vt & kVtArray) {
        return "Array " + VarTypeName(static_cast<std::uint16_t>(vt & 0x0FFF));
    }
    switch (vt & 0x0FFF) {
        case kVtEmpty:
            return "Empty";
        case kVtNull:
            return "Null";
        case kVtI2:
            return "Smallint";
        case kVtI4:
            return "Integer";
        case kVtR4:
            return "Single";
        case kVtR8:
            return "Double";
        case kVtCy:
            return "Currency";
        case kVtDate:
            return "Date";
        case kVtBstr:
            return "OleStr";
        case kVtDispatch:
            return "Dispatch";
        case kVtError:
            return "Error";
        case kVtBool:
            return "Boolean";
        case kVtVariant:
            return "Variant";
        case kVtUnknown:
            return "Unknown";
        case kVtDecimal:
            return "Decimal";
        case kVtI1:
            return "ShortInt";
        case kVtUi1:
            return "Byte";
        case kVtUi2:
            return "Word";
        case kVtUi4:
            return "LongWord";
        case kVtI8:
            return "Int64";
        case kVtUi8:
            return "UInt64";
        case kVtInt:
            return "Integer";
        case kVtUint:
            return "LongWord";
        default:
            return "Unknown";
    }
}

}  // namespace kelvra::bridge
