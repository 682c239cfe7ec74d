#include "browser/win32/browser_setup.h"

#include <ole2.h>

namespace kelvra::browser::win32 {

std::uint16_t ReadFpuControlWord() {
    std::uint16_t word = 0;
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnstcw %0" : "=m"(word));
#endif
    return word;
}

void LoadFpuControlWord(std::uint16_t word) {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
#else
    (void)word;
#endif
}

BrowserProcess::BrowserProcess() {
    OleInitialize(nullptr);  // a failure shows later, when a browser cannot be created
    saved_control_word_ = ReadFpuControlWord();
    setup_ = std::make_unique<TBrowserSetup>();
}

BrowserProcess::~BrowserProcess() {
    End();
}

void BrowserProcess::End() {
    if (ended_)
        return;
    ended_ = true;
    // Page scripts may have changed the control word; put the recorded one back.
    LoadFpuControlWord(saved_control_word_);
    if (trace)
        trace("control word");
    setup_.reset();
    if (trace)
        trace("hook removed");
    // Every browser has been released by now: OLE can go.
    OleUninitialize();
    if (trace)
        trace("ole uninitialised");
}

}  // namespace kelvra::browser::win32
