// A portable automation value. Kinds carry the OLE VARIANT type numbers so that the
// Windows wrapper converts one-to-one and messages name the kinds the same way.
#pragma once

#include <cstdint>
#include <string>

namespace kelvra::bridge {

enum VarType : std::uint16_t {
    kVtEmpty = 0,
    kVtNull = 1,
    kVtI2 = 2,
    kVtI4 = 3,
    kVtR4 = 4,
    kVtR8 = 5,
    kVtCy = 6,
    kVtDate = 7,
    kVtBstr = 8,
    kVtDispatch = 9,
    kVtError = 10,
    kVtBool = 11,
    kVtVariant = 12,
    kVtUnknown = 13,
    kVtDecimal = 14,
    kVtI1 = 16,
    kVtUi1 = 17,
    kVtUi2 = 18,
    kVtUi4 = 19,
    kVtI8 = 20,
    kVtUi8 = 21,
    kVtInt = 22,
    kVtUint = 23,
    kVtArray = 0x2000,
    kVtByRef = 0x4000,
};

class Variant {
  public:
    Variant() = default;

    static Variant Empty() { return Variant(); }
    static Variant Null() { return Of(kVtNull); }
    static Variant Text(std::u16string text);
    static Variant TextUtf8(std::string_view utf8);
    static Variant Int(std::uint16_t vt, std::int64_t value);
    static Variant Real(std::uint16_t vt, double value);
    static Variant Bool(bool value);
    // Currency is a 64-bit integer scaled by 10,000.
    static Variant Currency(std::int64_t scaled);
    static Variant Date(double value);
    static Variant ErrorCode(std::int32_t scode);
    // An object reference (dispatch or unknown); the portable form keeps no pointer.
    static Variant Object(std::uint16_t vt = kVtDispatch);
    // An array of the given element kind.
    static Variant Array(std::uint16_t element_vt);

    std::uint16_t vt() const { return vt_; }
    bool IsArray() const { return (vt_ & kVtArray) != 0; }
    const std::u16string& text() const { return text_; }
    std::int64_t integer() const { return integer_; }
    double real() const { return real_; }

    bool operator==(const Variant&) const = default;

  private:
    static Variant Of(std::uint16_t vt) {
        Variant v;
        v.vt_ = vt;
        return v;
    }

    std::uint16_t vt_ = kVtEmpty;
    std::u16string text_;
    std::int64_t integer_ = 0;
    double real_ = 0;
};

// The kind's name as conversion messages give it ("Double", "OleStr", "Array Integer").
std::string VarTypeName(std::uint16_t vt);

}  // namespace kelvra::bridge
