#include "bridge/win32/ole_variant.h"

#include <oleauto.h>

#include <new>

namespace kelvra::bridge::win32 {
namespace {

Variant FromDirect(const VARIANT& v) {
    const VARTYPE vt = V_VT(&v);
    if (vt & VT_ARRAY)
        return Variant::Array(static_cast<std::uint16_t>(vt & VT_TYPEMASK));
    switch (vt) {
        case VT_EMPTY:
            return Variant();
        case VT_NULL:
            return Variant::Null();
        case VT_BSTR: {
            const BSTR s = V_BSTR(&v);
            return Variant::Text(
                s ? std::u16string(reinterpret_cast<const char16_t*>(s), SysStringLen(s))
                  : std::u16string());
        }
        case VT_I1:
            return Variant::Int(vt, V_I1(&v));
        case VT_UI1:
            return Variant::Int(vt, V_UI1(&v));
        case VT_I2:
            return Variant::Int(vt, V_I2(&v));
        case VT_UI2:
            return Variant::Int(vt, V_UI2(&v));
        case VT_I4:
            return Variant::Int(vt, V_I4(&v));
        case VT_UI4:
            return Variant::Int(vt, V_UI4(&v));
        case VT_INT:
            return Variant::Int(vt, V_INT(&v));
        case VT_UINT:
            return Variant::Int(vt, V_UINT(&v));
        case VT_I8:
            return Variant::Int(vt, V_I8(&v));
        case VT_UI8:
            return Variant::Int(vt, static_cast<std::int64_t>(V_UI8(&v)));
        case VT_R4:
            return Variant::Real(vt, V_R4(&v));
        case VT_R8:
            return Variant::Real(vt, V_R8(&v));
        case VT_CY:
            return Variant::Currency(V_CY(&v).int64);
        case VT_DATE:
            return Variant::Date(V_DATE(&v));
        case VT_BOOL:
            return Variant::Bool(V_BOOL(&v) != VARIANT_FALSE);
        case VT_ERROR:
            return Variant::ErrorCode(V_ERROR(&v));
        case VT_DECIMAL:
            return Variant::Int(kVtDecimal, 0);
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return Variant::Object(vt);
        default:
            return Variant::Object(vt);
    }
}

}  // namespace

Variant FromOleVariant(const VARIANT& value) {
    if (!(V_VT(&value) & VT_BYREF))
        return FromDirect(value);
    VARIANT direct;
    VariantInit(&direct);
    if (FAILED(VariantCopyInd(&direct, const_cast<VARIANT*>(&value))))
        return Variant::Object(V_VT(&value));
    Variant out = FromDirect(direct);
    VariantClear(&direct);
    return out;
}

VARIANT ToOleVariant(const Variant& value) {
    VARIANT out;
    VariantInit(&out);
    if (value.vt() == kVtBstr) {
        const std::u16string& t = value.text();
        BSTR text = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t.data()),
                                      static_cast<UINT>(t.size()));
        // A result without its text is no result: the member fails with E_OUTOFMEMORY.
        if (text == nullptr)
            throw std::bad_alloc();
        V_VT(&out) = VT_BSTR;
        V_BSTR(&out) = text;
    }
    return out;
}

}  // namespace kelvra::bridge::win32
