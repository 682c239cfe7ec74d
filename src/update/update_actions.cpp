// The actions after the update: the post of PostUpdateInfo, the remembered date and
// control-file address, the patch program and the program started afterwards.
#include "update/update_engine.h"

namespace kelvra::update {
namespace {

constexpr std::uint16_t kPostPort = 80;
constexpr std::size_t kPostBlock = 4096;

}  // namespace

int TUpdateEngine::UpdateActions() {
    if (FCancelled)
        return -1;
    if (PostUpdateInfo().Enabled) {
        bool allow = true;
        if (OnBeforePost)
            OnBeforePost(*this, allow);
        if (allow) {
            DoPostUpdateInfo();
            allow = true;
            if (OnProcessPostResult)
                OnProcessPostResult(*this, allow);
        }
        if (!allow)
            return -1;
    }
    if (FDateFromRegistry)
        UpdateDatePut(FNewVersionDate);
    const std::string update_url = ReadControlString("action", "updateURL");
    if (!update_url.empty()) {
        DoStatus(941, "", 3, 0);
        URLPut(update_url);
    }
    if (utility_ != nullptr && ApplyPatch)
        ExtractPatcher();
    const std::string runafter = ExpandPrefix(ReadControlString("action", "runafter"));
    if (!runafter.empty())
        StartProgram(runafter);
    DoStatus(948, "", 3, 0);
    return 0;
}

void TUpdateEngine::DoPostUpdateInfo() {
    TPostUpdateInfo& post = PostUpdateInfo();
    if (post.Server.empty() || post.Action.empty())
        return;
    std::unique_ptr<InternetSession> session = internet_->Open(Agent, "");
    // The engine's time-outs hold for the post too: a server that stalls must not hold the
    // update (or the sign-in that runs it) without end.
    if (session)
        ApplyTimeOuts(*session);
    std::unique_ptr<HttpConnection> connection =
        session ? session->ConnectHttp(post.Server, kPostPort) : nullptr;
    if (!connection) {
        DoStatus(951, "", 16, 5);
        return;
    }
    std::unique_ptr<HttpPostRequest> request = connection->OpenPost(post.Action);
    if (!request) {
        DoStatus(952, "", 17, 5);
        return;
    }
    post.FResult.clear();
    // A post that cannot be sent leaves the result empty; 951 stands for the connect alone.
    if (!request->Send("Content-Type: application/x-www-form-urlencoded", post.Data))
        return;
    char block[kPostBlock];
    for (;;) {
        PumpMessages();
        const auto n = request->Read(block, sizeof block);
        if (!n || *n == 0)
            break;
        post.FResult.append(block, *n);
    }
}

}  // namespace kelvra::update
