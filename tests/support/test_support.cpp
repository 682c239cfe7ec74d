#include "test_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/environment.h"
#include "platform/file_system.h"

namespace kelvra::test {
namespace fs = std::filesystem;

namespace {
std::atomic<unsigned> g_counter{0};

fs::path U8Path(const std::string& s) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(s.data()), s.size()));
}
std::string PathString(const fs::path& p) {
    const std::u8string u = p.u8string();
    return std::string(reinterpret_cast<const char*>(u.data()), u.size());
}
}  // namespace

char Separator() {
    return platform::SystemFileSystem().Separator();
}

TempDir::TempDir() {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (unsigned attempt = 0;; ++attempt) {
        fs::path p =
            fs::temp_directory_path() / ("kelvra-test-" + std::to_string(stamp % 1000000007) + "-" +
                                         std::to_string(g_counter++));
        std::error_code ec;
        if (fs::create_directory(p, ec)) {
            path_ = PathString(p);
            break;
        }
        if (attempt > 100)
            throw std::runtime_error("cannot create a temporary folder");
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(U8Path(path_), ec);
}

std::string TempDir::File(const std::string& name) const {
    return path_ + Separator() + name;
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value)
    : name_(std::move(name)), old_(platform::SystemEnvironment().Get(name_)) {
    platform::SystemEnvironment().Set(name_, value);
}

ScopedEnv::~ScopedEnv() {
    platform::SystemEnvironment().Set(name_, old_);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(U8Path(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(U8Path(path), std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool PathExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(U8Path(path), ec);
}

std::string TestBinDir() {
    auto& files = platform::SystemFileSystem();
    return platform::DirectoryOf(files.ExecutablePath(), files.Separator());
}

std::string TestProgram(const std::string& name) {
#ifdef _WIN32
    return TestBinDir() + "\\" + name + ".exe";
#else
    return TestBinDir() + "/" + name;
#endif
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace kelvra::test
