// Start-up benchmark: time from process start to the login page's load, and resident memory
// then (the process and its web processes), for the client and for a minimal WebKitGTK
// window loading the same page, in the same run. Prints both ratios.
//
// Targets: time <= 1.10 x the baseline, memory <= baseline + 15 MB.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int CountLines(const std::string& path, const std::string& prefix) {
    std::istringstream in(Slurp(path));
    std::string line;
    int n = 0;
    while (std::getline(in, line))
        n += line.rfind(prefix, 0) == 0;
    return n;
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::setpgid(0, 0);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// Resident kilobytes of pid and every descendant (the web and network processes).
long TreeRssKb(pid_t root) {
    std::map<pid_t, pid_t> parent;
    std::map<pid_t, long> rss;
    DIR* proc = ::opendir("/proc");
    while (dirent* e = proc ? ::readdir(proc) : nullptr) {
        const pid_t pid = std::atoi(e->d_name);
        if (pid <= 0)
            continue;
        std::istringstream status(Slurp("/proc/" + std::to_string(pid) + "/status"));
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("PPid:", 0) == 0)
                parent[pid] = std::atoi(line.c_str() + 5);
            if (line.rfind("VmRSS:", 0) == 0)
                rss[pid] = std::atol(line.c_str() + 6);
        }
    }
    if (proc)
        ::closedir(proc);
    long total = 0;
    for (const auto& [pid, kb] : rss) {
        for (pid_t p = pid; p > 1; p = parent.count(p) ? parent[p] : 0) {
            if (p == root) {
                total += kb;
                break;
            }
        }
    }
    return total;
}

struct Sample {
    double seconds = 0;
    double mb = 0;
};

// Starts the program, waits until the page reports its load to the server, measures.
Sample Measure(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& log) {
    const int before = CountLines(log, "GET /demo/loaded");
    const auto start = Clock::now();
    const pid_t pid = Spawn(args, env);
    while (CountLines(log, "GET /demo/loaded") == before) {
        if (Clock::now() - start > std::chrono::seconds(60)) {
            ::kill(-pid, SIGKILL);
            throw std::runtime_error("the page did not load within a minute: " + args[0]);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    Sample s;
    s.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    s.mb = TreeRssKb(pid) / 1024.0;
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const std::string bin = argc > 1 ? argv[1] : KELVRA_BENCH_BIN_DIR;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "startup_bench needs a display (run it under xvfb-run)\n");
        return 2;
    }
    char dir_template[] = "/tmp/kelvra-startup-XXXXXX";
    const std::string dir = ::mkdtemp(dir_template);
    for (const char* sub : {"/home", "/home/Documents", "/config", "/config/kelvraeduConfig",
                            "/cache", "/data", "/runtime", "/registry"})
        ::mkdir((dir + sub).c_str(), 0700);
    const std::string log = dir + "/requests.log";
    const pid_t site =
        Spawn({bin + "/kelvra-demo-site", "--port-file", dir + "/port", "--log", log}, {});
    while (Slurp(dir + "/port").empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string webroot =
        "127.0.0.1:" + std::to_string(std::atoi(Slurp(dir + "/port").c_str()));
    std::ofstream(dir + "/config/kelvraeduConfig/sysparams.ini")
        << "[SYSTEM]\r\nwebroot=" << webroot << "\r\n";
    const std::vector<std::string> env{"HOME=" + dir + "/home",
                                       "XDG_CONFIG_HOME=" + dir + "/config",
                                       "XDG_CACHE_HOME=" + dir + "/cache",
                                       "XDG_DATA_HOME=" + dir + "/data",
                                       "XDG_RUNTIME_DIR=" + dir + "/runtime",
                                       "KELVRA_REGISTRY_DIR=" + dir + "/registry",
                                       "KELVRA_DEMO_UPDATE_HOST=" + webroot,
                                       "KELVRA_DIALOG_SCRIPT=" + dir + "/dialogs.txt",
                                       "NO_AT_BRIDGE=1"};

    std::vector<double> client_s, client_mb, base_s, base_mb;
    try {
        // One unmeasured run each warms the disk cache and the font cache.
        Measure({bin + "/kelvraedu"}, env, log);
        Measure({bin + "/startup_baseline_webkit", "http://" + webroot + "/site/login"}, env, log);
        for (int i = 0; i < rounds; ++i) {
            const Sample c = Measure({bin + "/kelvraedu"}, env, log);
            const Sample b = Measure(
                {bin + "/startup_baseline_webkit", "http://" + webroot + "/site/login"}, env, log);
            client_s.push_back(c.seconds);
            client_mb.push_back(c.mb);
            base_s.push_back(b.seconds);
            base_mb.push_back(b.mb);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        ::kill(-site, SIGKILL);
        return 1;
    }
    ::kill(-site, SIGKILL);
    ::waitpid(site, nullptr, 0);
    const double cs = Median(client_s), bs = Median(base_s);
    const double cm = Median(client_mb), bm = Median(base_mb);
    std::printf(
        "start to login page loaded: client %.3f s, minimal WebKitGTK %.3f s, ratio %.2fx "
        "(target <= 1.10x)\n",
        cs, bs, cs / bs);
    std::printf(
        "resident memory then:       client %.1f MB, minimal WebKitGTK %.1f MB, ratio "
        "%.2fx, difference %+.1f MB (target <= +15 MB)\n",
        cm, bm, cm / bm, cm - bm);
    return 0;
}
