#include "bridge/win32/interface_pins.h"

#include <oleauto.h>

#include "bridge/win32/app_to_ie_object.h"

namespace kelvra::bridge::win32 {

void InterfacePins::Hold() {
    // Uncounted like a page's object: the pins never keep an automation-mode server alive.
    TTKelvraAppToIe* object = TTKelvraAppToIe::Create(false);
    if (!object)
        return;
    for (const IID& iid : {IID_IUnknown, IID_IDispatch, __uuidof(ITKelvraAppToIe),
                           IID_ISupportErrorInfo, IID_IProvideClassInfo}) {
        IStream* stream = nullptr;
        if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
            continue;
        // A failure leaves that interface unpinned, as it is without the pins.
        if (SUCCEEDED(CoMarshalInterface(stream, iid, static_cast<ITKelvraAppToIe*>(object),
                                         MSHCTX_LOCAL, nullptr, MSHLFLAGS_TABLESTRONG)))
            streams_.push_back(stream);
        else
            stream->Release();
    }
    object->Release();  // the marshalled references keep it
}

void InterfacePins::Release() {
    for (IStream* stream : streams_) {
        const LARGE_INTEGER start{};
        if (SUCCEEDED(stream->Seek(start, STREAM_SEEK_SET, nullptr)))
            CoReleaseMarshalData(stream);
        stream->Release();
    }
    streams_.clear();
}

}  // namespace kelvra::bridge::win32
