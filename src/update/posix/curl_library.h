// libcurl, loaded when the engine first opens a session rather than when the program starts:
// the client only fetches the update control file, and loading libcurl with its TLS, LDAP and
// SSH libraries up front costs several megabytes of resident memory at every start.
#pragma once

#include <curl/curl.h>

#include <string>

namespace kelvra::update {

struct CurlLibrary {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_perform) easy_perform;
    decltype(&::curl_easy_pause) easy_pause;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
    decltype(&::curl_version_info) version_info;
};

// Transfers name their protocols as text (CURLOPT_PROTOCOLS_STR), which came with 7.85.0.
inline constexpr unsigned kCurlVersionRequired = 0x075500;
// Whether a library of this CURLVERSION_NOW version_num can carry the transfers.
bool CurlVersionSuffices(unsigned version_num);

// The library, loaded and globally initialised once; null when it cannot be loaded or is
// older than required, with the reason in *error when error is given.
const CurlLibrary* LoadCurl(std::string* error = nullptr);

// The loaded library; only for code that runs after LoadCurl succeeded.
const CurlLibrary& Curl();

}  // namespace kelvra::update
