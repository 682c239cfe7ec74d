#include "bridge/automation_error.h"

#include <exception>

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
        body();
        return out;
    } catch (const AutomationError& e) {
        out.description = e.what();
        out.help_context = e.help_context();
        out.hresult = e.hresult() < 0 ? e.hresult() : kEUnexpected;
    } catch (const std::exception& e) {
        out.description = e.what();
        out.hresult = kEUnexpected;
    } catch (...) {
        out.description = "Unexpected failure";
        out.hresult = kEUnexpected;
    }
    return out;
}

}  // namespace kelvra::bridge
