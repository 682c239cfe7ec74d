// NewVersionAvailable against a loopback HTTP server, and as the baseline a plain fetch of
// the same control file into a file with the platform's Internet library (libcurl on Linux,
// WinInet on Windows), alternating in one run. Prints the ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_http_server.h"
#include "plain_fetch.h"
#include "update/update_engine.h"

namespace {

using Clock = std::chrono::steady_clock;
using kelvra::bench::PlainFetch;

struct Result {
    double engine_us;
    double plain_us;
};

// Runs both sides over control, alternating; medians, since the machine is shared and
// single slow rounds say nothing about either side.
int Measure(const std::string& control, Result& result) {
    kelvra::bench::BenchHttpServer server(control);
    if (!server.ok()) {
        std::fprintf(stderr, "no loopback server\n");
        return 1;
    }
    const std::string url = server.Url("/kelvraeduclient/update.inf");
    const std::string temp = (std::filesystem::temp_directory_path() / "kupd_bench.inf").string();
    kelvra::update::TUpdateEngine engine;
    engine.URL = url;
    engine.TimeOut = 3000;

    constexpr int kRounds = 400;
    std::vector<double> engine_us, plain_us;
    int answers = 0;
    bool fetched = true;
    for (int i = 0; i < kRounds && fetched; ++i) {
        // Alternate the order so that neither side always runs second.
        const bool engine_first = i % 2 == 0;
        auto t0 = Clock::now();
        if (engine_first)
            answers += engine.NewVersionAvailable(false) ? 1 : 0;
        else
            fetched = PlainFetch(url, temp);
        auto t1 = Clock::now();
        if (engine_first)
            fetched = PlainFetch(url, temp);
        else
            answers += engine.NewVersionAvailable(false) ? 1 : 0;
        auto t2 = Clock::now();
        const double first = std::chrono::duration<double, std::micro>(t1 - t0).count();
        const double second = std::chrono::duration<double, std::micro>(t2 - t1).count();
        engine_us.push_back(engine_first ? first : second);
        plain_us.push_back(engine_first ? second : first);
    }
    if (!fetched) {
        std::fprintf(stderr, "plain fetch failed\n");
        return 1;
    }
    if (answers != kRounds) {
        std::fprintf(stderr, "the query answered false %d times\n", kRounds - answers);
        return 1;
    }
    auto median = [](std::vector<double> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    result = {median(engine_us), median(plain_us)};
    return 0;
}

}  // namespace

int main() {
    // A control file as the update server publishes it, and one padded to about 10 KB.
    const std::string published =
        "[update]\nsignature=KelvraUpdate\ndescr=Kelvra teaching cloud client 2.1.5\n"
        "date=01/01/2099\ntime=08:00\nlocalversion={APP}\\kelvraedu.exe\n"
        "[application]\nappupdate=1\nappname=kelvraedu.exe\nappparam=\n"
        "[whatsnew]\ncaption=What's new\n";
    const std::string padded = [&] {
        std::string text = published;
        for (int i = 0; i < 200; ++i)
            text += "; padding line " + std::to_string(i) + " of the published control file\n";
        return text;
    }();
    for (const auto& [name, control] :
         {std::pair{"published", &published}, std::pair{"10 KB", &padded}}) {
        Result r{};
        if (Measure(*control, r) != 0)
            return 1;
        std::printf(
            "update_check %s control file (%zu bytes, medians of 400): "
            "NewVersionAvailable %.1f us, plain %s fetch %.1f us, ratio %.2fx "
            "(target 1.20x)\n",
            name, control->size(), r.engine_us, kelvra::bench::PlainFetchName(), r.plain_us,
            r.engine_us / r.plain_us);
    }
    return 0;
}
