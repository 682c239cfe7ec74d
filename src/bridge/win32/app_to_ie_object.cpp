#include "bridge/win32/app_to_ie_object.h"

#include <oleauto.h>

#include <array>
#include <new>

#include "bridge/app_to_ie_members.h"
#include "bridge/automation_error.h"
#include "bridge/win32/class_record.h"
#include "bridge/win32/ole_variant.h"
#include "bridge/win32/server_objects.h"
#include "platform/win32/wide.h"

namespace kelvra::bridge::win32 {
namespace {

// Runs a member; a failure becomes the thread's error information and the member's result.
// Memory that runs out outside the guard (taking the body, recording the error) gives
// E_OUTOFMEMORY: no exception leaves a member.
template <class F>
HRESULT Guarded(F&& body) noexcept {
    try {
        const MemberOutcome outcome = GuardMember(std::forward<F>(body));
        if (outcome.hresult == 0 || outcome.hresult == kEOutOfMemory)
            return outcome.hresult;
        SetMemberErrorInfo(platform::win32::Widen(outcome.description), __uuidof(ITKelvraAppToIe),
                           ClassRecord::Get().ProgId(), outcome.help_context);
        return outcome.hresult;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

TTKelvraAppToIe* TTKelvraAppToIe::Create(bool counted, HWND owner) noexcept {
    // Memory can also run out inside the constructor (its parts, the class record).
    try {
        return new TTKelvraAppToIe(counted, owner);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

TTKelvraAppToIe::TTKelvraAppToIe(bool counted, HWND owner)
    : counted_(counted),
      owner_(owner),
      errors_(*this, {IID_IUnknown, IID_ISupportErrorInfo, IID_IProvideClassInfo, IID_IDispatch,
                      __uuidof(ITKelvraAppToIe)}),
      class_info_(*this, ClassRecord::Get().ClassInfo()) {
    if (counted_)
        ServerObjectAdded();
}

TTKelvraAppToIe::~TTKelvraAppToIe() {
    if (counted_)
        ServerObjectReleased();
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, __uuidof(ITKelvraAppToIe))) {
        *out = static_cast<ITKelvraAppToIe*>(this);
    } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
        *out = static_cast<ISupportErrorInfo*>(&errors_);
    } else if (IsEqualIID(iid, IID_IProvideClassInfo)) {
        *out = static_cast<IProvideClassInfo*>(&class_info_);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE TTKelvraAppToIe::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE TTKelvraAppToIe::Release() {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    ITypeInfo* info = ClassRecord::Get().DispatchInfo();
    if (!info)
        return E_UNEXPECTED;
    info->AddRef();
    *out = info;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                                         DISPID* ids) {
    ITypeInfo* info = ClassRecord::Get().DispatchInfo();
    if (!info)
        return E_UNEXPECTED;
    // The standard lookup ignores letter case.
    return DispGetIDsOfNames(info, names, count, ids);
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::Invoke(DISPID id, REFIID, LCID, WORD flags,
                                                  DISPPARAMS* params, VARIANT* result,
                                                  EXCEPINFO* excep, UINT* arg_err) {
    ITypeInfo* info = ClassRecord::Get().InterfaceInfo();
    if (!info)
        return E_UNEXPECTED;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF))
        flags = DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return info->Invoke(static_cast<ITKelvraAppToIe*>(this), id, flags, params ? params : &none,
                        result, excep, arg_err);
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::get_GetKelvraApp(VARIANT* value) {
    if (!value)
        return E_POINTER;
    // The caller's VARIANT is out-only: it is initialised, never read or cleared.
    VariantInit(value);
    return Guarded([&] { *value = ToOleVariant(AppToIeMembers::GetKelvraApp()); });
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::CreateVantle(VARIANT crs_id, VARIANT crs_name,
                                                        VARIANT crs_classify, VARIANT crs_username,
                                                        VARIANT crs_knowid, VARIANT crs_url) {
    return Guarded([&] {
        const std::array<Variant, 6> values = {
            FromOleVariant(crs_id),       FromOleVariant(crs_name),   FromOleVariant(crs_classify),
            FromOleVariant(crs_username), FromOleVariant(crs_knowid), FromOleVariant(crs_url),
        };
        AppToIeMembers::CreateVantle(values, owner_);
    });
}

HRESULT STDMETHODCALLTYPE TTKelvraAppToIe::ShowHint(VARIANT hint_tilte, VARIANT hint_content) {
    return Guarded([&] {
        AppToIeMembers::ShowHint(FromOleVariant(hint_tilte), FromOleVariant(hint_content));
    });
}

}  // namespace kelvra::bridge::win32
