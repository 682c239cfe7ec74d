// The baseline of the benchmark: the platform's Internet library used plainly to fetch a
// file into a local file, which is deleted afterwards.
#pragma once

#include <string>

namespace kelvra::bench {

// False when the file could not be fetched.
bool PlainFetch(const std::string& url, const std::string& path);

// What the baseline is, for the printed line ("libcurl", "WinInet").
const char* PlainFetchName();

}  // namespace kelvra::bench
