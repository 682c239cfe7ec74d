// patcher [-v] PATCH FILE [>> LOG]: applies a "BSDIFF40" patch to FILE in place. With -v,
// progress lines go to LOG (given as the engine writes it: ">>" may stick to FILE), or to
// standard output when no log is named. Exit codes: 0 done, 1 usage, 2 input/output,
// 3 invalid patch.
#include <iostream>
#include <string>
#include <vector>

#include "bspatch.h"
#include "bunzip.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "tool_common.h"

namespace {

struct Options {
    bool verbose = false;
    std::string patch, file, log;
};

bool Parse(const std::vector<std::string>& args, Options& o) {
    std::vector<std::string> plain;
    bool log_next = false;
    for (std::string a : args) {
        if (log_next) {
            o.log = a;
            log_next = false;
            continue;
        }
        if (a == "-v" && plain.empty()) {
            o.verbose = true;
            continue;
        }
        std::size_t redirect = a.find(">>");
        if (redirect != std::string::npos) {
            std::string after = a.substr(redirect + 2);
            a.resize(redirect);
            if (after.empty())
                log_next = true;
            else
                o.log = after;
        }
        if (!a.empty())
            plain.push_back(a);
    }
    if (plain.size() != 2 || log_next)
        return false;
    o.patch = plain[0];
    o.file = plain[1];
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvra;
    Options o;
    if (!Parse(tools::ProgramArguments(argc, argv), o)) {
        std::cerr << "usage: patcher [-v] PATCH FILE [>> LOG]\n";
        return 1;
    }
    auto say = [&](const std::string& text) {
        if (!o.verbose)
            return;
        if (o.log.empty())
            std::cout << text << "\n";
        else
            tools::LogLine("patcher", text);
    };
    if (o.verbose)
        tools::SetLogFile(o.log);
    auto& files = platform::SystemFileSystem();
    try {
        say("Applying patch " + o.patch + " to " + o.file);
        std::string patched = tools::ApplyBsdiff(files.ReadFile(o.file), files.ReadFile(o.patch));
        files.ReplaceAtomically(o.file, patched);
        say("Patched " + o.file + " (" + std::to_string(patched.size()) + " bytes)");
        return 0;
    } catch (const tools::CorruptData& e) {
        say(std::string("Invalid patch ") + o.patch + ": " + e.what());
        std::cerr << "patcher: " << e.what() << "\n";
        return 3;
    } catch (const Error& e) {
        say(std::string("Cannot patch ") + o.file + ": " + e.what());
        std::cerr << "patcher: " << e.what() << "\n";
        return 2;
    }
}
