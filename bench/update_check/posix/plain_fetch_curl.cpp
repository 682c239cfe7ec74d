// Linux baseline: one libcurl easy handle per fetch, written to a file.
#include <curl/curl.h>

#include <cstdio>

#include "plain_fetch.h"

namespace kelvra::bench {
namespace {

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

}  // namespace

bool PlainFetch(const std::string& url, const std::string& path) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr)
        return false;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &WriteToFile);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, out);
    const bool ok = curl_easy_perform(curl) == CURLE_OK;
    curl_easy_cleanup(curl);
    std::fclose(out);
    std::remove(path.c_str());
    return ok;
}

const char* PlainFetchName() {
    return "libcurl";
}

}  // namespace kelvra::bench
