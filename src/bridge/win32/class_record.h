// The automation class's registration record: the type library loaded from this
// executable's own file, the type information the objects dispatch through, and the
// class's names. Loaded once, on first use, and kept for the life of the process.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

namespace kelvra::bridge::win32 {

class ClassRecord {
  public:
    // The record of this process. Never null members when Loaded().
    static const ClassRecord& Get();

    bool Loaded() const { return library_ != nullptr; }
    // The failure that kept the library from loading (empty when it loaded).
    HRESULT LoadResult() const { return load_result_; }

    ITypeLib* Library() const { return library_; }
    // The dispatch view of ITKelvraAppToIe: what GetTypeInfo hands out.
    ITypeInfo* DispatchInfo() const { return dispatch_info_; }
    // The virtual-table view of the dual interface: what Invoke calls through.
    ITypeInfo* InterfaceInfo() const { return interface_info_; }
    // The class TKelvraAppToIe.
    ITypeInfo* ClassInfo() const { return class_info_; }

    // "TKelvraAppToIe", "TKelvraAppToIe Object", "KelvraeduApp" and their ProgID.
    const std::wstring& ClassName() const { return class_name_; }
    const std::wstring& Description() const { return description_; }
    const std::wstring& ServerName() const { return server_name_; }
    std::wstring ProgId() const { return server_name_ + L"." + class_name_; }

    // The executable's full path in its long form.
    static std::wstring ServerFileName();

    ClassRecord(const ClassRecord&) = delete;
    ClassRecord& operator=(const ClassRecord&) = delete;

  private:
    ClassRecord();
    ~ClassRecord() = default;  // the interfaces live until the process ends

    HRESULT load_result_ = S_OK;
    ITypeLib* library_ = nullptr;
    ITypeInfo* dispatch_info_ = nullptr;
    ITypeInfo* interface_info_ = nullptr;
    ITypeInfo* class_info_ = nullptr;
    std::wstring class_name_;
    std::wstring description_;
    std::wstring server_name_;
};

}  // namespace kelvra::bridge::win32
