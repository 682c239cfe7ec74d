#include "apt_repository.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "host_command.h"

namespace kelvra::publish {
namespace {

namespace fs = std::filesystem;

// A keyring of its own for one signing run, so the publisher's own keyrings are never read
// or changed; its agent is stopped and the folder removed afterwards.
class TemporaryGnupgHome {
  public:
    TemporaryGnupgHome() {
        std::string pattern = (fs::temp_directory_path() / "kelvra-publish-gpg.XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("Cannot create a temporary keyring folder.");
        path_ = pattern;
    }
    ~TemporaryGnupgHome() {
        try {
            Run({{"gpgconf", "--homedir", path_, "--kill", "all"}, {}, {}, {}});
        } catch (const std::exception&) {
            // No agent was started (the import failed first): nothing to stop.
        }
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryGnupgHome(const TemporaryGnupgHome&) = delete;
    TemporaryGnupgHome& operator=(const TemporaryGnupgHome&) = delete;

    void Gpg(std::vector<std::string> args, const std::string& directory) const {
        args.insert(args.begin(), {"gpg", "--homedir", path_, "--batch", "--yes", "--quiet",
                                   "--pinentry-mode", "loopback", "--passphrase", ""});
        Run({std::move(args), directory, {}, {}});
    }

  private:
    std::string path_;
};

}  // namespace

void PublishAptRepository(const std::string& out_dir, const std::string& deb,
                          const std::string& key_file) {
    const fs::path apt = fs::path(out_dir) / "apt";
    const fs::path pool = apt / "pool" / "main" / "k" / "kelvraedu";
    const fs::path suite = apt / "dists" / "stable";
    const fs::path binary = suite / "main" / "binary-amd64";
    if (!fs::is_regular_file(deb))
        throw std::runtime_error("No package " + deb + ": build the package target first.");
    if (!fs::is_regular_file(key_file))
        throw std::runtime_error("Cannot read the apt signing key " + key_file + ".");
    fs::create_directories(pool);
    fs::create_directories(binary);
    fs::copy_file(deb, pool / fs::path(deb).filename(), fs::copy_options::overwrite_existing);

    // Indexes are written beside their final names and renamed in, so a client reading the
    // repository meanwhile sees the old or the new index, and Release is signed last.
    const std::string packages = (binary / "Packages.new").string();
    Run({{"apt-ftparchive", "packages", "pool/main"}, apt.string(), packages, {}});
    Run({{"gzip", "-9nc", "Packages.new"},
         binary.string(),
         (binary / "Packages.gz.new").string(),
         {}});
    fs::rename(binary / "Packages.new", binary / "Packages");
    fs::rename(binary / "Packages.gz.new", binary / "Packages.gz");

    // apt-ftparchive would list an old Release among the suite's files; clients meanwhile
    // read the old InRelease, which apt prefers.
    fs::remove(suite / "Release");
    const std::string release = (apt / "Release.new").string();
    Run({{"apt-ftparchive", "-o", "APT::FTPArchive::Release::Origin=Kelvra", "-o",
          "APT::FTPArchive::Release::Label=Kelvra", "-o", "APT::FTPArchive::Release::Suite=stable",
          "-o", "APT::FTPArchive::Release::Codename=stable", "-o",
          "APT::FTPArchive::Release::Architectures=amd64", "-o",
          "APT::FTPArchive::Release::Components=main", "release", "dists/stable"},
         apt.string(),
         release,
         {}});
    const TemporaryGnupgHome gnupg;
    gnupg.Gpg({"--import", fs::absolute(key_file).string()}, {});
    gnupg.Gpg({"--clearsign", "--output", "InRelease.new", "Release.new"}, apt.string());
    gnupg.Gpg({"--armor", "--detach-sign", "--output", "Release.gpg.new", "Release.new"},
              apt.string());
    fs::rename(apt / "Release.gpg.new", suite / "Release.gpg");
    fs::rename(apt / "InRelease.new", suite / "InRelease");
    fs::rename(apt / "Release.new", suite / "Release");
}

}  // namespace kelvra::publish
