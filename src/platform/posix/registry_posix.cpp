// The registry as .reg text files, one per hive:
//   HKEY_CURRENT_USER.reg   in $XDG_CONFIG_HOME/kelvraedu/registry (or ~/.config/...)
//   HKEY_LOCAL_MACHINE.reg  in /etc/kelvraedu/registry
//   HKEY_CLASSES_ROOT.reg   in /etc/kelvraedu/registry
// KELVRA_REGISTRY_DIR names one directory that holds all three instead.
// Sections inside a file carry the hive's name ("[HKEY_CURRENT_USER\Software\...]").
// Every operation reads the file again, since other processes write it too; a change
// takes an flock on "<file>.lock", reads, modifies and replaces the file atomically.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "platform/environment.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/posix/reg_file.h"
#include "platform/registry.h"

namespace kelvra::platform {
namespace {

[[noreturn]] void ThrowErrno(const std::string& what, int err) {
    throw OsError(what + ". " + std::strerror(err), static_cast<std::uint32_t>(err));
}

struct HiveFile {
    std::string dir;
    std::string file;
    std::string root;
};

const char* RootName(RegistryHive hive) {
    switch (hive) {
        case RegistryHive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case RegistryHive::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegistryHive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
    }
    throw Error("Unknown registry hive");
}

HiveFile Locate(RegistryHive hive) {
    const Environment& env = SystemEnvironment();
    HiveFile h;
    h.root = RootName(hive);
    if (auto dir = env.Get("KELVRA_REGISTRY_DIR"); dir && !dir->empty()) {
        h.dir = *dir;
    } else if (hive == RegistryHive::CurrentUser) {
        auto base = env.Get("XDG_CONFIG_HOME");
        if (!base || base->empty())
            base = env.Get("HOME").value_or("") + "/.config";
        h.dir = *base + "/kelvraedu/registry";
    } else {
        h.dir = "/etc/kelvraedu/registry";
    }
    h.file = h.dir + "/" + h.root + ".reg";
    return h;
}

std::string FullPath(const HiveFile& h, std::string_view path) {
    return h.root + "\\" + std::string(path);
}

bool IsRoot(std::string_view path) {
    return path.find_first_not_of('\\') == std::string::npos;
}

// A missing file is an empty hive. A file that cannot be read or does not parse throws
// OsError: the store is damaged, and is never taken for an empty hive nor rewritten.
posix::RegFile Load(const HiveFile& h) {
    struct stat st {};
    if (::stat(h.file.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
        return {};
    const std::string bytes = SystemFileSystem().ReadFile(h.file);
    try {
        return posix::RegFile::Parse(bytes, h.file, h.root);
    } catch (const Error& e) {
        throw OsError(e.what(), EBADMSG);
    }
}

void MakeDirectories(const std::string& dir) {
    FileSystem& fs = SystemFileSystem();
    for (std::size_t at = 1; at <= dir.size(); ++at) {
        if (at != dir.size() && dir[at] != '/')
            continue;
        const std::string part = dir.substr(0, at);
        if (fs.DirectoryExists(part))
            continue;
        try {
            fs.MakeDirectory(part);
        } catch (const OsError&) {
            if (!fs.DirectoryExists(part))  // another process may have made it meanwhile
                throw;
        }
    }
}

class FileLock {
  public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ < 0)
            ThrowErrno("Cannot create file \"" + path + "\"", errno);
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const int err = errno;
                ::close(fd_);
                ThrowErrno("Cannot lock file \"" + path + "\"", err);
            }
        }
    }
    ~FileLock() { ::close(fd_); }  // closing releases the lock
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_ = -1;
};

// Runs change on the current contents under the lock; writes the file when it returns
// true. Returns what change returned.
bool Mutate(RegistryHive hive,
            const std::function<bool(posix::RegFile&, const HiveFile&)>& change) {
    const HiveFile h = Locate(hive);
    MakeDirectories(h.dir);
    FileLock lock(h.file + ".lock");
    posix::RegFile file = Load(h);
    if (!change(file, h))
        return false;
    SystemFileSystem().ReplaceAtomically(h.file, file.Write());
    return true;
}

class PosixKey : public RegistryKey {
  public:
    PosixKey(RegistryHive hive, std::string path) : hive_(hive), path_(std::move(path)) {}

    std::optional<RegistryValue> Query(std::string_view name) const override {
        const HiveFile h = Locate(hive_);
        const posix::RegFile file = Load(h);
        const posix::RegKey* key = file.Find(FullPath(h, path_));
        if (key == nullptr && IsRoot(path_))
            return std::nullopt;
        if (key == nullptr) {  // deleted since it was opened, as Windows reports it
            ThrowErrno("Cannot read registry value \"" + std::string(name) + "\" of \"" +
                           FullPath(h, path_) + "\"",
                       ENOENT);
        }
        const RegistryValue* value = key->Find(name);
        if (value == nullptr)
            return std::nullopt;
        return *value;
    }

    void Set(std::string_view name, const RegistryValue& value) override {
        Mutate(hive_, [&](posix::RegFile& file, const HiveFile& h) {
            Existing(file, h).Set(name, value);
            return true;
        });
    }

    void DeleteValue(std::string_view name) override {
        Mutate(hive_, [&](posix::RegFile& file, const HiveFile& h) {
            posix::RegKey* key = file.Find(FullPath(h, path_));
            return key != nullptr && key->Remove(name);
        });
    }

  private:
    // The key this object stands for; the hive's root always exists.
    posix::RegKey& Existing(posix::RegFile& file, const HiveFile& h) const {
        const std::string full = FullPath(h, path_);
        if (IsRoot(path_))
            return file.Ensure(full);
        posix::RegKey* key = file.Find(full);
        if (key == nullptr)
            ThrowErrno("Cannot write to registry key \"" + full + "\"", ENOENT);
        return *key;
    }

    RegistryHive hive_;
    std::string path_;
};

class PosixRegistry : public Registry {
  public:
    std::unique_ptr<RegistryKey> Open(RegistryHive hive, std::string_view path,
                                      RegistryAccess access) const override {
        const HiveFile h = Locate(hive);
        posix::RegFile file;
        try {
            file = Load(h);
        } catch (const OsError&) {
            return nullptr;  // a key of a damaged or unreadable hive file cannot be opened
        }
        if (!IsRoot(path) && file.Find(FullPath(h, path)) == nullptr)
            return nullptr;
        if (access == RegistryAccess::ReadWrite && ::access(h.dir.c_str(), W_OK) != 0)
            return nullptr;
        return std::make_unique<PosixKey>(hive, std::string(path));
    }

    std::unique_ptr<RegistryKey> Create(RegistryHive hive, std::string_view path) override {
        Mutate(hive, [&](posix::RegFile& file, const HiveFile& h) {
            const std::string full = FullPath(h, path);
            if (file.Find(full) != nullptr)
                return false;
            file.Ensure(full);
            return true;
        });
        return std::make_unique<PosixKey>(hive, std::string(path));
    }

    bool DeleteKey(RegistryHive hive, std::string_view path) override {
        const HiveFile located = Locate(hive);
        if (!IsRoot(path) && Load(located).Find(FullPath(located, path)) == nullptr)
            return false;  // nothing to change: no directory or lock file is made
        bool found = false;
        Mutate(hive, [&](posix::RegFile& file, const HiveFile& h) {
            const std::string full = FullPath(h, path);
            if (IsRoot(path))
                ThrowErrno("Cannot delete registry key \"" + full + "\"", EACCES);
            if (file.Find(full) == nullptr)
                return false;
            found = true;
            if (file.HasSubkeys(full))
                ThrowErrno("Cannot delete registry key \"" + full + "\": it has subkeys", EACCES);
            return file.RemoveTree(full);
        });
        return found;
    }
};

}  // namespace

Registry& SystemRegistry() {
    static PosixRegistry registry;
    return registry;
}

}  // namespace kelvra::platform
