// OLE VARIANT <-> the portable Variant. Only the kind and the text matter to the members;
// numbers keep their value for messages and tests.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include "bridge/variant.h"

namespace kelvra::bridge::win32 {

// A by-reference value is read through its reference first.
Variant FromOleVariant(const VARIANT& value);
// Text and empty values only (what the members return). The caller owns the result.
// Throws std::bad_alloc when the text of a string cannot be allocated.
VARIANT ToOleVariant(const Variant& value);

}  // namespace kelvra::bridge::win32
