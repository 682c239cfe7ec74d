#include "bridge/automation_error.h"

#include <exception>
#include <new>

#include "bridge/variant.h"

namespace kelvra::bridge {

AutomationError ConversionError(std::uint16_t from_vt, std::uint16_t to_vt) {
    return AutomationError("Could not convert variant of type (" + VarTypeName(from_vt) +
                               ") into type (" + VarTypeName(to_vt) + ")",
                           0);
}

MemberOutcome GuardMember(const std::function<void()>& body) noexcept {
    MemberOutcome out;
    try {
        try {
            body();
            return out;
        } catch (const std::bad_alloc&) {
            out.hresult = kEOutOfMemory;
        } catch (const AutomationError& e) {
            out.hresult = e.hresult() < 0 ? e.hresult() : kEUnexpected;
            out.help_context = e.help_context();
            out.description = e.what();
        } catch (const std::exception& e) {
            out.hresult = kEUnexpected;
            out.description = e.what();
        } catch (...) {
            out.hresult = kEUnexpected;
            out.description = "Unexpected failure";
        }
    } catch (const std::bad_alloc&) {
        // No memory left to copy the description: the failure is reported without it.
        out.hresult = kEOutOfMemory;
        out.description.clear();
    }
    return out;
}

}  // namespace kelvra::bridge
