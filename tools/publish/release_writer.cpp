#include "release_writer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "cabinet_writer.h"

namespace kelvra::publish {
namespace {

namespace fs = std::filesystem;

constexpr const char* kServerFolder = "kelvraeduclient";

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("Cannot read " + path.string() + ".");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Written beside the target and renamed over it, so a server never hands out half a file.
void WriteReplacing(const fs::path& path, const std::string& bytes) {
    const fs::path temporary = path.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush())
            throw std::runtime_error("Cannot write " + temporary.string() + ".");
    }
    std::error_code ec;
    fs::rename(temporary, path, ec);
    if (ec)
        throw std::runtime_error("Cannot replace " + path.string() + ": " + ec.message());
}

ServedFile Served(const fs::path& path, std::string description, bool cabinet) {
    const std::string bytes = ReadAll(path);
    return {path.filename().string(), std::move(description), cabinet, bytes.size(),
            update::Sha256Hex(bytes)};
}

}  // namespace

std::string ControlFileText(const BuildTree& tree, const std::string& host,
                            const std::vector<ServedFile>& files) {
    const bool windows = tree.platform == ReleasePlatform::kWindows;
    const std::string eol = windows ? "\r\n" : "\n";
    const char sep = windows ? '\\' : '/';
    std::string components;
    for (const ReleaseFile& file : tree.files) {
        std::string name = file.name;
        if (windows)
            std::replace(name.begin(), name.end(), '/', '\\');
        components += (components.empty() ? "" : " ") + name;
    }
    std::string text;
    auto line = [&](const std::string& s) { text += s + eol; };
    line("[update]");
    line("signature=KelvraUpdate");
    line("descr=Kelvra client " + tree.version);
    // Released clients compare this with the file version of their own executable.
    line("newversion=" + tree.version);
    line(std::string("localversion={APP}") + sep + tree.client);
    line("");
    line("[application]");
    line("appupdate=1");
    line("appname=" + tree.client);
    line("appcomps=" + components);
    // The teacher agreed in the client already; the updater asks nothing more.
    line("silentrestart=1");
    line("");
    line("[files]");
    line("count=" + std::to_string(files.size()));
    for (std::size_t i = 0; i < files.size(); ++i) {
        const ServedFile& f = files[i];
        line("");
        line("[file" + std::to_string(i + 1) + "]");
        line("descr=" + f.description);
        line("url=http://" + host + "/" + kServerFolder + "/" + f.name);
        line("targetdir={TMP}");
        line(std::string("compressed=") + (f.cabinet ? "1" : "0"));
        line("mandatory=1");
        line("filesize=" + std::to_string(f.size));
        line("size=" + std::to_string(f.size));
        line("sha256=" + f.sha256);
    }
    return text;
}

void PublishRelease(const BuildTree& tree, const ReleaseKey& key, const std::string& host,
                    const std::string& out_dir) {
    const fs::path folder = fs::path(out_dir) / kServerFolder;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        throw std::runtime_error("Cannot create " + folder.string() + ": " + ec.message());

    std::vector<ServedFile> served;
    const std::vector<ReleaseFile> others(tree.files.begin() + 1, tree.files.end());
    if (!others.empty()) {
        const fs::path cabinet = folder / ("kelvraedu-" + tree.version + ".cab");
        WriteCabinet(cabinet.string(), others);
        served.push_back(Served(cabinet, "Kelvra client " + tree.version + " programs", true));
    }
    const fs::path client = folder / tree.client;
    WriteReplacing(client, ReadAll(tree.files.front().source));
    fs::permissions(client, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    served.push_back(Served(client, "Kelvra client " + tree.version, false));

    const std::string control = ControlFileText(tree, host, served);
    // The signature first: a client that fetches in between meets a mismatch and refuses.
    WriteReplacing(folder / "update.inf.sig", SignRelease(control, key));
    WriteReplacing(folder / "update.inf", control);
}

}  // namespace kelvra::publish
