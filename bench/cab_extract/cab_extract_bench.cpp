// Extracts a 50 MB MSZIP cabinet (made here with gcab) with ExtractCab and with cabextract,
// best of three runs each, checks both outputs match, and prints the time ratio
// ours / cabextract. Target: at most 1.1.
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "update/cab_extract.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& p, std::size_t size, unsigned seed, bool text) {
    std::ofstream out(p, std::ios::binary);
    std::string buf;
    buf.reserve(size);
    unsigned x = seed;
    static const char* words[] = {"Kelvra ",  "lesson ",     "teacher ", "update ",
                                  "cabinet ", "whiteboard ", "student ", "\r\n"};
    while (buf.size() < size) {
        x = x * 1103515245u + 12345u;
        if (text)
            buf += words[(x >> 16) & 7];
        else
            buf.push_back(static_cast<char>(x >> 16));
    }
    buf.resize(size);
    out.write(buf.data(), static_cast<std::streamsize>(buf.size()));
}

int Run(const std::string& cmd) {
    return std::system(cmd.c_str());
}

template <typename F>
double BestSeconds(F&& f) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (s < best)
            best = s;
    }
    return best;
}

}  // namespace

int main() {
    fs::path root = fs::temp_directory_path() / ("kelvra-cab-bench-" + std::to_string(getpid()));
    fs::create_directories(root / "src" / "sub");
    // 50 MB: half text-like (compresses well), half random (stored almost as is).
    for (int i = 0; i < 10; ++i) {
        WriteFile(root / "src" / ("text" + std::to_string(i) + ".txt"), 2500000, 11u + i, true);
        WriteFile(root / "src" / "sub" / ("data" + std::to_string(i) + ".bin"), 2500000, 97u + i,
                  false);
    }
    std::string cab = (root / "bench.cab").string();
    if (Run("cd '" + (root / "src").string() + "' && gcab -c -z '" + cab + "' *.txt sub/*.bin") !=
        0) {
        std::cerr << "gcab failed\n";
        return 1;
    }
    std::cout << "cabinet: " << fs::file_size(cab) / 1000000.0
              << " MB compressed, 50 MB of files\n";

    fs::path ours = root / "ours", theirs = root / "theirs";
    int result = 0;
    double t_ours = BestSeconds([&] {
        fs::remove_all(ours);
        fs::create_directories(ours);
        if (kelvra::update::ExtractCab(cab, ours.string()) != 0)
            result = 1;
    });
    double t_theirs = BestSeconds([&] {
        fs::remove_all(theirs);
        if (Run("cabextract -q -d '" + theirs.string() + "' '" + cab + "'") != 0)
            result = 1;
    });
    if (result != 0 ||
        Run("diff -r '" + ours.string() + "' '" + theirs.string() + "' >/dev/null") != 0) {
        std::cerr << "extraction failed or outputs differ\n";
        fs::remove_all(root);
        return 1;
    }
    std::printf(
        "ExtractCab: %.3f s  cabextract: %.3f s  ratio ours/cabextract: %.2f (target <= 1.10)\n",
        t_ours, t_theirs, t_ours / t_theirs);
    fs::remove_all(root);
    return 0;
}
