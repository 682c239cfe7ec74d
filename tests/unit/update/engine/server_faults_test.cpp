// The update server misbehaving while the control file is fetched: it dies in the middle,
// loops on redirects, sends a megabyte of headers, trickles one byte a second, closes
// after the headers or sends a body larger than any control file. Each check ends within the
// engine's time-outs, leaves nothing in the temporary folder, and the next check (the next sign-in)
// works.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "engine_fixture.h"

namespace kelvra::test {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr char kControlFile[] = "[update]\nunconditional=1\n";
constexpr char kPath[] = "/kelvraeduclient/update.inf";

struct Fault {
    const char* name;
    HttpResponse response;
    // nullopt: either answer is right (the platform decides whether to accept it).
    std::optional<bool> new_version;
};

HttpResponse Response(std::string body) {
    HttpResponse r;
    r.body = std::move(body);
    return r;
}

std::vector<Fault> Faults() {
    std::vector<Fault> faults;
    HttpResponse dies = Response(kControlFile);
    dies.announced_length = 4000;  // the server goes away after the first part
    faults.push_back({"dies in the middle", dies, false});

    HttpResponse loop = Response("");
    loop.status = 302;
    loop.extra_headers = std::string("Location: ") + kPath + "\r\n";
    faults.push_back({"redirect loop", loop, false});

    HttpResponse big = Response(kControlFile);
    for (int i = 0; i < 1024; ++i)
        big.extra_headers += "X-Pad-" + std::to_string(i) + ": " + std::string(1000, 'h') + "\r\n";
    faults.push_back({"1 MB of headers", big, std::nullopt});

    HttpResponse trickle = Response(kControlFile);
    trickle.trickle = 1s;
    faults.push_back({"one byte a second", trickle, false});

    HttpResponse closes = Response("");
    closes.announced_length = 100;
    faults.push_back({"closes after the headers", closes, false});

    // A valid control file followed by more than the 1 MB a check fetches, with no length.
    HttpResponse endless = Response(std::string(kControlFile) + std::string(2 << 20, ';'));
    endless.send_length = false;
    faults.push_back({"2 MB without a length", endless, false});
    return faults;
}

class ServerFaultTest : public EngineTest {};

TEST_F(ServerFaultTest, EachFaultEndsWithinTheTimeOutsAndTheNextCheckWorks) {
    for (const Fault& fault : Faults()) {
        SCOPED_TRACE(fault.name);
        server_.Serve(kPath, fault.response);
        auto engine = MakeEngine(server_.Url(kPath));
        engine->ReceiveTimeOut = 1500;
        const auto started = Clock::now();
        const bool found = engine->NewVersionAvailable(false);
        const auto took = Clock::now() - started;
        if (fault.new_version) {
            EXPECT_EQ(found, *fault.new_version);
        }
        // Connect and receive time-outs, with room for a slow machine.
        EXPECT_LT(took, std::chrono::milliseconds(engine->TimeOut + engine->ReceiveTimeOut) + 10s);
        EXPECT_FALSE(engine->InProgress());
        EXPECT_TRUE(TempFiles().empty());

        server_.Serve(kPath, Response(kControlFile));
        EXPECT_TRUE(engine->NewVersionAvailable(false)) << "the next check";
        EXPECT_TRUE(TempFiles().empty());
    }
}

}  // namespace
}  // namespace kelvra::test
