// Shared set-up of the engine tests: a private temporary-files folder, a log file, the
// dialog script, and an engine configured as the login window configures it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "loopback_servers.h"
#include "test_support.h"
#include "ui/dialog_script.h"
#include "update/update_engine.h"

namespace kelvra::test {

// The Internet library with the connected-state answer and the session open replaceable.
class ScriptedInternet final : public update::InternetPlatform {
  public:
    bool offline = false;
    bool open_fails = false;
    // The platform's last error and the server's last response, instead of the real ones.
    std::optional<std::uint32_t> last_error;
    std::optional<std::string> response_text;
    // HTTP connections made to port 80 go to this port instead (the loopback server's).
    std::optional<std::uint16_t> http_port;
    std::optional<std::uint32_t> ConnectedState() override;
    bool Autodial(bool unattended) override;
    void HangUp() override {}
    std::unique_ptr<update::InternetSession> Open(const std::string& agent,
                                                  const std::string& proxy) override;
    std::uint32_t LastError() override;
    std::string ErrorText(std::uint32_t code) override;
    std::string LastResponseText() override;
};

class EngineTest : public ::testing::Test {
  protected:
    EngineTest();
    ~EngineTest() override;

    // The engine as the login window sets it up, fetching from url.
    std::unique_ptr<update::TUpdateEngine> MakeEngine(const std::string& url,
                                                      ui::Application* app = nullptr,
                                                      update::InternetPlatform* net = nullptr);
    // Sets engine up as MakeEngine does.
    void Configure(update::TUpdateEngine& engine, const std::string& url);
    // Message ids of the log lines written so far, in order.
    std::vector<int> LoggedIds() const;
    std::string LogText() const;
    // Files left in the temporary-files folder.
    std::vector<std::string> TempFiles() const;
    std::vector<ui::ScriptRecord> DialogRecords() const;
    void AnswerDialogs(const std::vector<std::string>& answer_lines);
    // A control file served at /kelvraeduclient/update.inf.
    std::string ServeControlFile(const std::string& contents);

    TempDir temp_;  // the engine's temporary-files folder
    TempDir work_;  // log, dialog script and local files
    ScopedEnv tmpdir_;
    ScopedEnv tmp_;
    ScopedEnv temp_env_;
    ScopedEnv dialog_;
    LoopbackHttpServer server_;
};

}  // namespace kelvra::test
