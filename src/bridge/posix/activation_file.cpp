#include "bridge/posix/activation_file.h"

#include <glib.h>
#include <glib/gstdio.h>

#include "bridge/app_to_ie_members.h"
#include "platform/error.h"

namespace kelvra::bridge {
namespace {

std::string Folder(bool per_user) {
    std::string base;
    if (per_user) {
        const char* home = g_getenv("XDG_DATA_HOME");
        base = home && *home ? std::string(home) : std::string(g_get_home_dir()) + "/.local/share";
    } else {
        const char* dirs = g_getenv("XDG_DATA_DIRS");
        base = dirs && *dirs ? std::string(dirs).substr(0, std::string(dirs).find(':'))
                             : std::string("/usr/local/share");
    }
    return base + "/dbus-1/services";
}

std::string QuoteForBus(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789/._-+") == std::string::npos;
    if (plain)
        return text;
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace

std::string ActivationFilePath(bool per_user) {
    return Folder(per_user) + "/" + kProgId + ".service";
}

std::string ActivationFileText(const std::string& executable) {
    return std::string("[D-BUS Service]\nName=") + kProgId + "\nExec=" + QuoteForBus(executable) +
           " -Embedding\n";
}

void WriteActivationFile(bool per_user, const std::string& executable) {
    const std::string text = ActivationFileText(executable);
    if (g_mkdir_with_parents(Folder(per_user).c_str(), 0755) != 0 ||
        !g_file_set_contents(ActivationFilePath(per_user).c_str(), text.data(),
                             static_cast<gssize>(text.size()), nullptr))
        throw Error(kRegistrationFailed);
}

void RemoveActivationFile(bool per_user) {
    g_unlink(ActivationFilePath(per_user).c_str());  // a failure leaves the file, as intended
}

}  // namespace kelvra::bridge
