// kelvra-publish: the publisher's tool.
//   kelvra-publish --new-key FILE
//       writes a new private key to FILE and its public key to FILE.pub
//   kelvra-publish --key FILE --from BUILD_DIR --out DIR [--host HOST] [--apt-key FILE]
//       publishes the client of a build tree (win32/win64: the Windows release; linux: the
//       Linux release) into DIR, the update server's root. The files' addresses name HOST,
//       else KELVRA_DEMO_UPDATE_HOST, else the build's KELVRA_UPDATE_HOST. With --apt-key (an
//       exported OpenPGP secret key), a linux tree's package is also added to the signed apt
//       repository DIR/apt.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>

#include "apt_repository.h"
#include "build_tree.h"
#include "release_key.h"
#include "release_writer.h"

namespace {

using namespace kelvra::publish;

constexpr const char* kUsage =
    "usage: kelvra-publish --new-key FILE\n"
    "       kelvra-publish --key FILE --from BUILD_DIR --out DIR [--host HOST] [--apt-key FILE]\n";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot read " + path + ".");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Creates path with mode from the start (a private key is never readable by others, not
// even for a moment) and never replaces a file: an overwritten key cannot be recovered.
void WriteNewFile(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        throw std::runtime_error("Cannot create " + path + ": " + std::strerror(errno) +
                                 (errno == EEXIST ? " (it is left alone)" : ""));
    const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (::close(fd) != 0 || !written)
        throw std::runtime_error("Cannot write " + path + ".");
}

int NewKey(const std::string& file) {
    const ReleaseKey key = GenerateReleaseKey();
    WriteNewFile(file, PrivateKeyFileText(key), 0600);
    WriteNewFile(file + ".pub", PublicKeyFileText(key.public_key), 0644);
    std::printf("Wrote the private key %s and the public key %s.pub\n", file.c_str(), file.c_str());
    return 0;
}

int Publish(const std::map<std::string, std::string>& args) {
    const ReleaseKey key = ParsePrivateKeyFile(ReadText(args.at("--key")));
    const BuildTree tree = ReadBuildTree(args.at("--from"));
    std::string host = tree.update_host;
    if (const char* demo = std::getenv("KELVRA_DEMO_UPDATE_HOST"); demo && *demo)
        host = demo;
    if (auto it = args.find("--host"); it != args.end())
        host = it->second;
    if (args.count("--apt-key") && tree.platform != ReleasePlatform::kLinux)
        throw std::runtime_error("--apt-key publishes the Linux package: give a linux build tree.");
    PublishRelease(tree, key, host, args.at("--out"));
    if (auto it = args.find("--apt-key"); it != args.end()) {
        const std::string deb =
            args.at("--from") + "/package/kelvraedu_" + tree.version + "_amd64.deb";
        PublishAptRepository(args.at("--out"), deb, it->second);
        std::printf("Added %s to the apt repository %s/apt\n", deb.c_str(),
                    args.at("--out").c_str());
    }
    std::printf("Published the %s release %s into %s/kelvraeduclient for http://%s\n",
                tree.platform == ReleasePlatform::kWindows ? "Windows" : "Linux",
                tree.version.c_str(), args.at("--out").c_str(), host.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> args;
    for (int i = 1; i < argc; i += 2) {
        const std::string name = argv[i];
        if (i + 1 >= argc ||
            (name != "--new-key" && name != "--key" && name != "--from" && name != "--out" &&
             name != "--host" && name != "--apt-key") ||
            !args.emplace(name, argv[i + 1]).second) {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    const bool new_key = args.size() == 1 && args.count("--new-key") == 1;
    const bool publish = args.count("--key") && args.count("--from") && args.count("--out") &&
                         !args.count("--new-key");
    if (!new_key && !publish) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        return new_key ? NewKey(args.at("--new-key")) : Publish(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvra-publish: %s\n", e.what());
        return 1;
    }
}
