// Failures of automation members: a description and, when known, an OLE result code.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/error.h"

namespace kelvra::bridge {

inline constexpr std::int32_t kEUnexpected = static_cast<std::int32_t>(0x8000FFFF);
inline constexpr std::int32_t kDispEBadParamCount = static_cast<std::int32_t>(0x8002000E);
inline constexpr std::int32_t kDispEException = static_cast<std::int32_t>(0x80020009);
inline constexpr std::int32_t kDispEUnknownName = static_cast<std::int32_t>(0x80020006);
inline constexpr std::int32_t kDispEMemberNotFound = static_cast<std::int32_t>(0x80020003);
inline constexpr std::int32_t kDispETypeMismatch = static_cast<std::int32_t>(0x80020005);
inline constexpr std::int32_t kDispEBadVarType = static_cast<std::int32_t>(0x80020008);
inline constexpr std::int32_t kEOutOfMemory = static_cast<std::int32_t>(0x8007000E);

inline constexpr const char* kInvalidVariantOperation = "Invalid variant operation";

class AutomationError : public Error {
  public:
    explicit AutomationError(std::string description, std::int32_t hresult = 0,
                             std::uint32_t help_context = 0)
        : Error(std::move(description)), hresult_(hresult), help_context_(help_context) {}
    std::int32_t hresult() const { return hresult_; }
    std::uint32_t help_context() const { return help_context_; }

  private:
    std::int32_t hresult_;
    std::uint32_t help_context_;
};

// "Could not convert variant of type (from) into type (to)".
AutomationError ConversionError(std::uint16_t from_vt, std::uint16_t to_vt);

// What a member's boundary reports for a failure.
struct MemberOutcome {
    std::int32_t hresult = 0;  // 0 = S_OK
    std::string description;
    std::uint32_t help_context = 0;
};

// Runs body and turns any exception into an outcome: the failure's own result code when
// it carries a negative one, E_OUTOFMEMORY when memory ran out (also while the failure is
// recorded), E_UNEXPECTED otherwise. Nothing escapes.
MemberOutcome GuardMember(const std::function<void()>& body) noexcept;

}  // namespace kelvra::bridge
