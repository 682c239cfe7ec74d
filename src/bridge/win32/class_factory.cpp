#include "bridge/win32/class_factory.h"

#include "bridge/win32/app_to_ie_object.h"
#include "bridge/win32/server_objects.h"

namespace kelvra::bridge::win32 {

AppToIeClassFactory& AppToIeClassFactory::Instance() {
    static AppToIeClassFactory factory;
    return factory;
}

HRESULT STDMETHODCALLTYPE AppToIeClassFactory::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

// The factory is not reference-counted: it outlives every registration of it.
ULONG STDMETHODCALLTYPE AppToIeClassFactory::AddRef() {
    return 2;
}
ULONG STDMETHODCALLTYPE AppToIeClassFactory::Release() {
    return 1;
}

HRESULT STDMETHODCALLTYPE AppToIeClassFactory::CreateInstance(IUnknown* outer, REFIID iid,
                                                              void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    TTKelvraAppToIe* object = TTKelvraAppToIe::Create(true);
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();  // the caller's reference, if any, keeps it alive
    return hr;
}

HRESULT STDMETHODCALLTYPE AppToIeClassFactory::LockServer(BOOL lock) {
    if (lock)
        ServerObjectAdded();
    else
        ServerObjectReleased();
    return S_OK;
}

}  // namespace kelvra::bridge::win32
