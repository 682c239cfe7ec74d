// The iconv-backed code page, exposed so tests can pick a codeset.
#pragma once

#include <memory>
#include <string>

#include "platform/code_page.h"

namespace kelvra::platform {

// A code page converting through iconv with the given codeset ("GBK", "UTF-8", ...).
std::unique_ptr<CodePage> MakeIconvCodePage(std::string codeset);

// The Windows number for a codeset name; 0 when there is none.
unsigned WindowsCodePageId(const std::string& codeset);

}  // namespace kelvra::platform
