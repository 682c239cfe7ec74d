// Code pages of rich text decoded through iconv, one converter per code page kept for the
// process.
#include <iconv.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/posix/code_page_posix.h"
#include "ui/rich_text.h"

namespace kelvra::ui {
namespace {

// iconv's name of a Windows code page number.
std::string CodesetOf(unsigned code_page) {
    switch (code_page) {
        case 65001:
            return "UTF-8";
        case 20127:
            return "ASCII";
        case 10000:
            return "MACINTOSH";
        default:
            break;
    }
    if (code_page >= 28591 && code_page <= 28599)
        return "ISO-8859-" + std::to_string(code_page - 28590);
    return "CP" + std::to_string(code_page);
}

bool IconvKnows(const std::string& codeset) {
    iconv_t cd = iconv_open("UTF-16LE", codeset.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

}  // namespace

std::u16string DecodeCodePage(unsigned code_page, std::string_view bytes) {
    if (bytes.empty())
        return {};
    static std::mutex mutex;
    static std::map<unsigned, std::unique_ptr<platform::CodePage>> pages;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = pages.find(code_page);
    if (it == pages.end()) {
        std::string codeset = CodesetOf(code_page);
        if (!IconvKnows(codeset))
            codeset = "CP1252";
        it = pages.emplace(code_page, platform::MakeIconvCodePage(codeset)).first;
    }
    return it->second->ToUtf16(bytes);
}

}  // namespace kelvra::ui
