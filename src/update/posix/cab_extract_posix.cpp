// Cabinet extraction and SZDD expansion through libmspack.
#include <mspack.h>
#include <sys/stat.h>
#include <utime.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/error.h"
#include "update/cab_extract.h"
#include "update/posix/mspack_buffered_system.h"

namespace kelvra::update {
namespace {

void MakeDirectories(const std::string& dir) {
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos == dir.size() || dir[pos] == '/') {
            std::string part = dir.substr(0, pos);
            if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
                return;
        }
    }
}

void SetStoredTime(const std::string& path, const mscabd_file& f) {
    std::tm tm{};
    tm.tm_year = f.date_y - 1900;
    tm.tm_mon = f.date_m - 1;
    tm.tm_mday = f.date_d;
    tm.tm_hour = f.time_h;
    tm.tm_min = f.time_m;
    tm.tm_sec = f.time_s;
    tm.tm_isdst = -1;  // the stored time is local time
    std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return;
    utimbuf times{t, t};
    utime(path.c_str(), &times);
}

}  // namespace

int ExtractCab(const std::string& cabinet, const std::string& target, const CabinetLimits& limits) {
    mscab_decompressor* cabd = mspack_create_cab_decompressor(nullptr);
    if (cabd == nullptr)
        return -1;
    int result = -1;
    if (mscabd_cabinet* cab = cabd->open(cabd, cabinet.c_str())) {
        CabinetTally tally(limits);
        bool within = true;
        for (mscabd_file* f = cab->files; f != nullptr && within; f = f->next)
            within = tally.Add(static_cast<std::uint32_t>(f->length));
        result = within ? 0 : -1;
        std::string base = target;
        if (!base.empty() && base.back() != '/')
            base += '/';
        for (mscabd_file* f = within ? cab->files : nullptr; f != nullptr; f = f->next) {
            std::string name = f->filename;
            if (!IsSafeCabinetName(name)) {
                result = -1;
                continue;
            }
            for (char& c : name) {
                if (c == '\\')
                    c = '/';
            }
            std::string path = base + name;
            std::size_t slash = path.find_last_of('/');
            if (slash != std::string::npos && slash > 0)
                MakeDirectories(path.substr(0, slash));
            if (cabd->extract(cabd, f, path.c_str()) != MSPACK_ERR_OK) {
                result = -1;
                break;
            }
            SetStoredTime(path, *f);
            // The cabinet marks programs; they stay executable here.
            if ((f->attribs & MSCAB_ATTRIB_EXEC) != 0 && chmod(path.c_str(), 0755) != 0)
                result = -1;
        }
        cabd->close(cabd, cab);
    }
    mspack_destroy_cab_decompressor(cabd);
    return result;
}

std::string ExpandLZFile(const std::string& file) {
    BufferedMspackSystem io;
    msszdd_decompressor* szdd = mspack_create_szdd_decompressor(io.get());
    if (szdd == nullptr)
        throw Error("Cannot expand " + file);
    msszddd_header* header = szdd->open(szdd, file.c_str());
    if (header == nullptr || header->format != MSSZDD_FMT_NORMAL) {
        if (header)
            szdd->close(szdd, header);
        mspack_destroy_szdd_decompressor(szdd);
        throw Error("Not a compressed file : " + file);
    }
    std::string out = file;
    if (!out.empty() && out.back() == '_' && header->missing_char != 0) {
        // Case follows the last letter of the name, as the Windows expansion does.
        char c = header->missing_char;
        for (auto it = out.rbegin() + 1; it != out.rend() && *it != '/'; ++it) {
            if (std::isalpha(static_cast<unsigned char>(*it))) {
                c = std::islower(static_cast<unsigned char>(*it))
                        ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
                        : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                break;
            }
        }
        out.back() = c;
    }
    if (out == file) {
        szdd->close(szdd, header);
        mspack_destroy_szdd_decompressor(szdd);
        throw Error("No expanded name for " + file);
    }
    int err = szdd->extract(szdd, header, out.c_str());
    szdd->close(szdd, header);
    mspack_destroy_szdd_decompressor(szdd);
    if (err != MSPACK_ERR_OK || io.write_failed()) {
        std::remove(out.c_str());
        throw Error("Cannot expand " + file);
    }
    std::remove(file.c_str());
    return out;
}

}  // namespace kelvra::update
