#include "build_tree.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "update/version_info.h"

namespace kelvra::publish {
namespace {

namespace fs = std::filesystem;

// The value of a CMake cache entry ("NAME:TYPE=value"), empty when missing.
std::string CacheValue(const fs::path& cache, const std::string& name) {
    std::ifstream in(cache);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) != 0)
            continue;
        const auto equals = line.find('=');
        if (equals != std::string::npos)
            return line.substr(equals + 1);
    }
    return {};
}

void AddIfBuilt(BuildTree& tree, const fs::path& bin, const std::string& name) {
    const fs::path source = bin / name;
    if (fs::is_regular_file(source))
        tree.files.push_back({name, source.string()});
}

}  // namespace

BuildTree ReadBuildTree(const std::string& dir) {
    const fs::path root(dir);
    const fs::path bin = root / "bin";
    BuildTree tree;
    if (fs::is_regular_file(bin / "kelvraedu.exe")) {
        tree.platform = ReleasePlatform::kWindows;
        tree.client = "kelvraedu.exe";
    } else if (fs::is_regular_file(bin / "kelvraedu")) {
        tree.platform = ReleasePlatform::kLinux;
        tree.client = "kelvraedu";
    } else {
        throw std::runtime_error(dir +
                                 " holds no built client (bin/kelvraedu.exe or bin/kelvraedu).");
    }
    AddIfBuilt(tree, bin, tree.client);
    const update::VersionWords version = update::ReadFileVersion((bin / tree.client).string());
    if (version.AnyInvalid())
        throw std::runtime_error((bin / tree.client).string() + " carries no file version.");
    tree.version = update::VersionToText(version);

    tree.update_host = CacheValue(root / "CMakeCache.txt", "KELVRA_UPDATE_HOST");
    if (tree.update_host.empty())
        throw std::runtime_error(dir + "/CMakeCache.txt names no KELVRA_UPDATE_HOST.");

    // The updater replaces itself through the restart program like every other file. The
    // Windows programs are static and carry the restart and patch programs as resources;
    // the Linux client finds those beside it, and its web process extension below it.
    AddIfBuilt(tree, bin, "updater.exe");
    if (tree.platform == ReleasePlatform::kLinux) {
        AddIfBuilt(tree, bin, "kusetup.ex_");
        AddIfBuilt(tree, bin, "patcher");
        AddIfBuilt(tree, bin, "web-extensions/libkelvraexternal.so");
    }
    return tree;
}

}  // namespace kelvra::publish
