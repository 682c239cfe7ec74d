// Parses arbitrary bytes as the settings file, edits it, writes it and parses the result
// again: every lookup must give the same answer before and after the rewrite.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/mem_ini.h"
#include "platform/file_system.h"
#include "platform/posix/code_page_posix.h"

namespace {

using kelvra::app::TMemIni;

// UTF-8 holds every character, so a rewrite must keep every answer exactly.
const kelvra::platform::CodePage& Utf8() {
    static const auto page = kelvra::platform::MakeIconvCodePage("UTF-8");
    return *page;
}
// GBK loses what it cannot hold ('?'), so the first rewrite may change answers; from then
// on the text is stable.
const kelvra::platform::CodePage& Gbk() {
    static const auto page = kelvra::platform::MakeIconvCodePage("GBK");
    return *page;
}

struct Probe {
    const char* section;
    const char* key;
};
constexpr Probe kProbes[] = {{"SYSTEM", "webroot"}, {"system", "WEBROOT"}, {"A", "k"}, {"", ""},
                             {"云", "值"},          {"SYSTEM", "new"}};

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

// Answers of every probe.
struct Answers {
    std::string values[std::size(kProbes)];
    bool operator==(const Answers& o) const {
        for (std::size_t i = 0; i < std::size(kProbes); ++i) {
            if (values[i] != o.values[i])
                return false;
        }
        return true;
    }
};

Answers Ask(const TMemIni& ini) {
    Answers a;
    for (std::size_t i = 0; i < std::size(kProbes); ++i)
        a.values[i] = ini.ReadString(kProbes[i].section, kProbes[i].key, "\x01");
    return a;
}

// Load, edit, then check that a rewrite and re-read keep the answers and the bytes.
void RoundTrip(std::string_view bytes, const kelvra::platform::CodePage& page, bool lossless) {
    // The file name is never touched: Load and Serialize work in memory.
    TMemIni ini("/nonexistent/kelvra-fuzz/sysparams.ini", kelvra::platform::SystemFileSystem(),
                page);
    ini.Load(bytes);
    (void)Ask(ini);
    ini.WriteString("SYSTEM", "new", "云平台.example");
    ini.WriteString("a", "k", "v");
    Check(ini.ReadString("SYSTEM", "new", "") == "云平台.example");

    Answers before = Ask(ini);
    std::string written = ini.Serialize();
    const auto encoding = ini.encoding();
    if (!lossless) {
        ini.Load(written);
        before = Ask(ini);
        written = ini.Serialize();
    }
    ini.Load(written);
    Check(ini.encoding() == encoding);
    Check(Ask(ini) == before);
    Check(ini.Serialize() == written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RoundTrip(bytes, Utf8(), true);
    RoundTrip(bytes, Gbk(), false);
    return 0;
}
