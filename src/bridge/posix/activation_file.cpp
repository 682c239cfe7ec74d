#include "bridge/posix/activation_file.h"

#include <glib.h>
#include <glib/gstdio.h>

#include "bridge/app_to_ie_members.h"
#include "platform/error.h"

namespace kelvra::bridge {
namespace {

// All users' activation files go where every session bus looks, whatever the environment
// of the registering process says; KELVRA_SHARED_DATA_DIR stands for /usr/share in tests.
std::string Folder(bool per_user) {
    std::string base;
    if (per_user) {
        const char* home = g_getenv("XDG_DATA_HOME");
        base = home && *home ? std::string(home) : std::string(g_get_home_dir()) + "/.local/share";
    } else {
        const char* shared = g_getenv("KELVRA_SHARED_DATA_DIR");
        base = shared && *shared ? std::string(shared) : std::string(kSharedDataDir);
    }
    return base + "/dbus-1/services";
}

// The bus reads Exec= as one line of shell-like words: a path with a line break or another
// control character cannot be written into it.
bool Quotable(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F)
            return false;
    }
    return true;
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
    if (executable.empty() || !Quotable(executable))
        throw Error(kRegistrationFailed);
    const std::string text = ActivationFileText(executable);
    const std::string path = ActivationFilePath(per_user);
    // The bus (for all users, every user's bus) must be able to read it whatever the umask.
    if (g_mkdir_with_parents(Folder(per_user).c_str(), 0755) != 0 ||
        !g_file_set_contents(path.c_str(), text.data(), static_cast<gssize>(text.size()),
                             nullptr) ||
        g_chmod(path.c_str(), 0644) != 0)
        throw Error(kRegistrationFailed);
}

void RemoveActivationFile(bool per_user) {
    g_unlink(ActivationFilePath(per_user).c_str());  // a failure leaves the file, as intended
}

}  // namespace kelvra::bridge
