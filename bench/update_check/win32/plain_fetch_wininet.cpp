// Windows baseline: one WinInet session per fetch, the file read in 4 KB blocks into a file.
#include <windows.h>
#include <wininet.h>

#include <cstdio>

#include "plain_fetch.h"

namespace kelvra::bench {

bool PlainFetch(const std::string& url, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool ok = false;
    HINTERNET session = InternetOpenA("bench", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session != nullptr) {
        // Fetched anew each time, as the engine does: a cached copy would not be a fetch.
        HINTERNET file = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (file != nullptr) {
            char block[4096];
            for (;;) {
                DWORD n = 0;
                if (!InternetReadFile(file, block, sizeof block, &n))
                    break;
                if (n == 0) {
                    ok = true;
                    break;
                }
                if (std::fwrite(block, 1, n, out) != n)
                    break;
            }
            InternetCloseHandle(file);
        }
        InternetCloseHandle(session);
    }
    std::fclose(out);
    std::remove(path.c_str());
    return ok;
}

const char* PlainFetchName() {
    return "WinInet";
}

}  // namespace kelvra::bench
