#include "update/posix/curl_library.h"

#include <dlfcn.h>

namespace kelvra::update {
namespace {

struct Loaded {
    CurlLibrary api{};
    bool ok = false;
    std::string error;
};

template <typename F>
bool Resolve(void* handle, const char* name, F& out, std::string& error) {
    out = reinterpret_cast<F>(::dlsym(handle, name));
    if (out == nullptr && error.empty())
        error = std::string("libcurl lacks ") + name;
    return out != nullptr;
}

Loaded LoadOnce() {
    Loaded l;
    // The library stays loaded for the life of the process.
    void* h = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (h == nullptr) {
        const char* why = ::dlerror();
        l.error = why != nullptr ? why : "libcurl.so.4 cannot be loaded";
        return l;
    }
    CurlLibrary& a = l.api;
    std::string& e = l.error;
    l.ok = Resolve(h, "curl_global_init", a.global_init, e) &
           Resolve(h, "curl_easy_init", a.easy_init, e) &
           Resolve(h, "curl_easy_cleanup", a.easy_cleanup, e) &
           Resolve(h, "curl_easy_setopt", a.easy_setopt, e) &
           Resolve(h, "curl_easy_getinfo", a.easy_getinfo, e) &
           Resolve(h, "curl_easy_perform", a.easy_perform, e) &
           Resolve(h, "curl_easy_pause", a.easy_pause, e) &
           Resolve(h, "curl_multi_init", a.multi_init, e) &
           Resolve(h, "curl_multi_cleanup", a.multi_cleanup, e) &
           Resolve(h, "curl_multi_add_handle", a.multi_add_handle, e) &
           Resolve(h, "curl_multi_remove_handle", a.multi_remove_handle, e) &
           Resolve(h, "curl_multi_perform", a.multi_perform, e) &
           Resolve(h, "curl_multi_poll", a.multi_poll, e) &
           Resolve(h, "curl_multi_info_read", a.multi_info_read, e) &
           Resolve(h, "curl_slist_append", a.slist_append, e) &
           Resolve(h, "curl_slist_free_all", a.slist_free_all, e) &
           Resolve(h, "curl_version_info", a.version_info, e);
    if (l.ok) {
        const curl_version_info_data* info = a.version_info(CURLVERSION_NOW);
        if (!CurlVersionSuffices(info != nullptr ? info->version_num : 0)) {
            l.ok = false;
            l.error = "libcurl 7.85 or later is required";
        }
    }
    if (l.ok && a.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        l.ok = false;
        l.error = "libcurl could not be initialised";
    }
    return l;
}

const Loaded& Library() {
    static const Loaded loaded = LoadOnce();
    return loaded;
}

}  // namespace

bool CurlVersionSuffices(unsigned version_num) {
    return version_num >= kCurlVersionRequired;
}

const CurlLibrary* LoadCurl(std::string* error) {
    const Loaded& l = Library();
    if (!l.ok && error != nullptr)
        *error = l.error;
    return l.ok ? &l.api : nullptr;
}

const CurlLibrary& Curl() {
    return Library().api;
}

}  // namespace kelvra::update
