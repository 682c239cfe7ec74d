// Cabinet extraction through cabinet.dll's FDI functions (loaded at run time) and SZDD
// expansion through LZ32.
#include <fcntl.h>
#include <windows.h>
// after windows.h
#include <fdi.h>
#include <lzexpand.h>

#include <string>

#include "platform/error.h"
#include "platform/win32/wide.h"
#include "update/cab_extract.h"

namespace kelvra::update {
namespace {

using platform::win32::Narrow;
using platform::win32::Widen;

using FDICreateFn = HFDI(DIAMONDAPI*)(PFNALLOC, PFNFREE, PFNOPEN, PFNREAD, PFNWRITE, PFNCLOSE,
                                      PFNSEEK, int, PERF);
using FDIIsCabinetFn = BOOL(DIAMONDAPI*)(HFDI, INT_PTR, PFDICABINETINFO);
using FDICopyFn = BOOL(DIAMONDAPI*)(HFDI, char*, char*, int, PFNFDINOTIFY, PFNFDIDECRYPT, void*);
using FDIDestroyFn = BOOL(DIAMONDAPI*)(HFDI);

struct Extraction {
    std::wstring target;
    bool unsafe_name = false;
    // A first pass only counts the entries (each skipped) against the limits.
    CabinetTally* survey = nullptr;
    bool over_limit = false;
};

FNALLOC(Alloc) {
    return HeapAlloc(GetProcessHeap(), 0, cb);
}
FNFREE(Free) {
    HeapFree(GetProcessHeap(), 0, pv);
}
FNOPEN(Open) {
    DWORD access = (oflag & (_O_WRONLY | _O_RDWR)) ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    DWORD create = (oflag & _O_CREAT) ? CREATE_ALWAYS : OPEN_EXISTING;
    (void)pmode;
    HANDLE h = CreateFileA(pszFile, access, FILE_SHARE_READ, nullptr, create, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(h);
}
FNREAD(Read) {
    DWORD done = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr))
        return static_cast<UINT>(-1);
    return done;
}
FNWRITE(Write) {
    DWORD done = 0;
    if (!WriteFile(reinterpret_cast<HANDLE>(hf), pv, cb, &done, nullptr))
        return static_cast<UINT>(-1);
    return done;
}
FNCLOSE(Close) {
    return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1;
}
FNSEEK(Seek) {
    return SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, seektype);
}

// A function of the loaded library, through void* to keep the cast explicit.
template <typename Fn>
Fn Proc(HMODULE lib, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

void MakeDirectories(const std::wstring& dir) {
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == L'\\') {
            std::wstring part = dir.substr(0, pos);
            if (part.size() == 2 && part[1] == L':')
                continue;
            CreateDirectoryW(part.c_str(), nullptr);
        }
    }
}

FNFDINOTIFY(Notify) {
    auto* ex = static_cast<Extraction*>(pfdin->pv);
    switch (fdint) {
        case fdintCOPY_FILE: {
            if (ex->survey != nullptr) {
                if (ex->survey->Add(static_cast<std::uint32_t>(pfdin->cb)))
                    return 0;  // skip the entry
                ex->over_limit = true;
                return -1;  // ends the copy
            }
            std::string stored = pfdin->psz1;
            if (!IsSafeCabinetName(stored)) {
                ex->unsafe_name = true;
                return 0;  // skip the entry
            }
            UINT cp = (pfdin->attribs & _A_NAME_IS_UTF) ? CP_UTF8 : CP_ACP;
            int n = MultiByteToWideChar(cp, 0, stored.c_str(), -1, nullptr, 0);
            std::wstring name(n > 0 ? n - 1 : 0, L'\0');
            MultiByteToWideChar(cp, 0, stored.c_str(), -1, name.data(), n);
            for (wchar_t& c : name) {
                if (c == L'/')
                    c = L'\\';
            }
            std::wstring path = ex->target + name;
            std::size_t slash = path.find_last_of(L'\\');
            if (slash != std::wstring::npos && slash > 0)
                MakeDirectories(path.substr(0, slash));
            HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(h);
        }
        case fdintCLOSE_FILE_INFO: {
            HANDLE h = reinterpret_cast<HANDLE>(pfdin->hf);
            FILETIME local, utc;
            if (DosDateTimeToFileTime(pfdin->date, pfdin->time, &local) &&
                LocalFileTimeToFileTime(&local, &utc)) {
                SetFileTime(h, nullptr, nullptr, &utc);
            }
            CloseHandle(h);
            return TRUE;
        }
        default:
            return 0;
    }
}

}  // namespace

int ExtractCab(const std::string& cabinet, const std::string& target, const CabinetLimits& limits) {
    HANDLE probe = CreateFileW(Widen(cabinet).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return -1;
    CloseHandle(probe);
    HMODULE lib = LoadLibraryW(L"cabinet.dll");
    if (lib == nullptr)
        return -1;
    auto create = Proc<FDICreateFn>(lib, "FDICreate");
    auto is_cabinet = Proc<FDIIsCabinetFn>(lib, "FDIIsCabinet");
    auto copy = Proc<FDICopyFn>(lib, "FDICopy");
    auto destroy = Proc<FDIDestroyFn>(lib, "FDIDestroy");
    int result = -1;
    if (create && is_cabinet && copy && destroy) {
        Extraction ex;
        ex.target = Widen(target);
        if (!ex.target.empty() && ex.target.back() != L'\\' && ex.target.back() != L'/')
            ex.target += L'\\';
        ERF erf{};
        HFDI fdi = create(Alloc, Free, Open, Read, Write, Close, Seek, cpu80386, &erf);
        if (fdi != nullptr) {
            std::wstring wide = Widen(cabinet);
            std::size_t slash = wide.find_last_of(L"\\/");
            std::wstring dir = slash == std::wstring::npos ? L"" : wide.substr(0, slash + 1);
            std::wstring file = slash == std::wstring::npos ? wide : wide.substr(slash + 1);
            auto ansi = [](const std::wstring& w) {
                int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
                std::string s(n > 0 ? n - 1 : 0, '\0');
                WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
                return s;
            };
            std::string name8 = ansi(file), dir8 = ansi(dir);
            // Ask the library first; only a cabinet is copied from.
            BOOL ok = FALSE;
            std::string full8 = dir8 + name8;
            INT_PTR hf = Open(full8.data(), _O_BINARY | _O_RDONLY, 0);
            if (hf != -1) {
                FDICABINETINFO info{};
                BOOL cabinet = is_cabinet(fdi, hf, &info);
                Close(hf);
                if (cabinet) {
                    CabinetTally tally(limits);
                    ex.survey = &tally;
                    ok = copy(fdi, name8.data(), dir8.data(), 0, Notify, nullptr, &ex) &&
                         !ex.over_limit;
                    ex.survey = nullptr;
                }
                if (ok)
                    ok = copy(fdi, name8.data(), dir8.data(), 0, Notify, nullptr, &ex);
            }
            BOOL destroyed = destroy(fdi);
            result = (ok && destroyed && !ex.unsafe_name) ? 0 : -1;
        }
    }
    FreeLibrary(lib);
    return result;
}

std::string ExpandLZFile(const std::string& file) {
    std::string head;
    {
        HANDLE h = CreateFileW(Widen(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            throw Error("Cannot open " + file);
        char buf[8];
        DWORD done = 0;
        ReadFile(h, buf, sizeof buf, &done, nullptr);
        CloseHandle(h);
        head.assign(buf, done);
    }
    if (head != std::string("SZDD\x88\xF0\x27\x33", 8))
        throw Error("Not a compressed file : " + file);
    std::wstring in = Widen(file);
    wchar_t expanded[MAX_PATH + 1] = {};
    if (GetExpandedNameW(in.data(), expanded) != 1 || in == expanded)
        throw Error("No expanded name for " + file);
    OFSTRUCT ofs_in{}, ofs_out{};
    INT src = LZOpenFileW(in.data(), &ofs_in, OF_READ);
    if (src < 0)
        throw Error("Cannot open " + file);
    INT dst = LZOpenFileW(expanded, &ofs_out, OF_CREATE);
    if (dst < 0) {
        LZClose(src);
        throw Error("Cannot create " + Narrow(expanded));
    }
    LONG copied = LZCopy(src, dst);
    LZClose(src);
    LZClose(dst);
    if (copied < 0) {
        DeleteFileW(expanded);
        throw Error("Cannot expand " + file);
    }
    DeleteFileW(in.c_str());
    return Narrow(expanded);
}

}  // namespace kelvra::update
