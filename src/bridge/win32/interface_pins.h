// Keeps every interface of the class registered with the COM runtime for as long as the
// class object is offered, by holding one uncounted instance marshalled table-strong for
// each interface. Wine's COM unregisters an interface from its RPC server when the last
// stub of that interface in the process goes, and waits on the apartment thread for the
// calls still in flight on it; those calls wait for the same thread, so an outside client
// calling a new object while another releases the last old one hung the server for good.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <vector>

namespace kelvra::bridge::win32 {

class InterfacePins {
  public:
    // Pins what can be pinned; an interface whose marshalling fails stays as it was.
    void Hold();
    void Release();

  private:
    std::vector<IStream*> streams_;
};

}  // namespace kelvra::bridge::win32
