#include "engine_fixture.h"

#include <filesystem>
#include <regex>

#include "ui/dialog_script.h"

namespace kelvra::test {
namespace {

// A session whose HTTP connections to port 80 go to another port.
class RedirectedSession final : public update::InternetSession {
  public:
    RedirectedSession(std::unique_ptr<update::InternetSession> inner, std::uint16_t port)
        : inner_(std::move(inner)), port_(port) {}
    void SetConnectTimeout(int ms) override { inner_->SetConnectTimeout(ms); }
    void SetReceiveTimeout(int ms) override { inner_->SetReceiveTimeout(ms); }
    void IgnoreCertificateErrors() override { inner_->IgnoreCertificateErrors(); }
    std::unique_ptr<update::InternetRequest> OpenUrl(const std::string& url,
                                                     const std::string& headers,
                                                     const update::RequestFlags& flags) override {
        return inner_->OpenUrl(url, headers, flags);
    }
    std::unique_ptr<update::FtpConnection> ConnectFtp(const std::string& host, std::uint16_t port,
                                                      const std::string& user,
                                                      const std::string& password,
                                                      bool passive) override {
        return inner_->ConnectFtp(host, port, user, password, passive);
    }
    std::unique_ptr<update::HttpConnection> ConnectHttp(const std::string& host,
                                                        std::uint16_t port) override {
        return inner_->ConnectHttp(host, port == 80 ? port_ : port);
    }

  private:
    std::unique_ptr<update::InternetSession> inner_;
    std::uint16_t port_;
};

}  // namespace

std::optional<std::uint32_t> ScriptedInternet::ConnectedState() {
    if (offline)
        return std::nullopt;
    return update::SystemInternet().ConnectedState();
}
bool ScriptedInternet::Autodial(bool) {
    return false;
}
std::unique_ptr<update::InternetSession> ScriptedInternet::Open(const std::string& agent,
                                                                const std::string& proxy) {
    if (open_fails)
        return nullptr;
    auto session = update::SystemInternet().Open(agent, proxy);
    if (session && http_port)
        return std::make_unique<RedirectedSession>(std::move(session), *http_port);
    return session;
}
std::uint32_t ScriptedInternet::LastError() {
    return last_error ? *last_error : update::SystemInternet().LastError();
}
std::string ScriptedInternet::ErrorText(std::uint32_t code) {
    return update::SystemInternet().ErrorText(code);
}
std::string ScriptedInternet::LastResponseText() {
    return response_text ? *response_text : update::SystemInternet().LastResponseText();
}

EngineTest::EngineTest()
    : tmpdir_("TMPDIR", temp_.path()),
      tmp_("TMP", temp_.path()),
      temp_env_("TEMP", temp_.path()),
      dialog_("KELVRA_DIALOG_SCRIPT", work_.File("dialogs.txt")) {}

EngineTest::~EngineTest() = default;

std::unique_ptr<update::TUpdateEngine> EngineTest::MakeEngine(const std::string& url,
                                                              ui::Application* app,
                                                              update::InternetPlatform* net) {
    auto engine = std::make_unique<update::TUpdateEngine>(app, net);
    Configure(*engine, url);
    return engine;
}

void EngineTest::Configure(update::TUpdateEngine& engine, const std::string& url) {
    engine.Agent = "KelvraUpdate";
    engine.URL = url;
    engine.TimeOut = 3000;
    engine.SetLogging(true);
    engine.SetLogFileName(work_.File("KUPDATE.LOG"));
    engine.TempDirectory = ".";
    engine.Signature = "KelvraUpdate";
    engine.DateFormat = "dd/mm/yyyy";
    engine.DateSeparator = '/';
    engine.TimeFormat = "hh:nn";
    engine.TimeSeparator = ':';
    engine.PostUpdateInfo().Enabled = false;
}

std::string EngineTest::LogText() const {
    const std::string path = work_.File("KUPDATE.LOG");
    return PathExists(path) ? ReadBytes(path) : std::string();
}

std::vector<int> EngineTest::LoggedIds() const {
    std::vector<int> ids;
    static const std::regex kLine(R"( : \[(\d+)\] )");
    const std::string text = LogText();
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kLine);
         it != std::sregex_iterator(); ++it)
        ids.push_back(std::stoi((*it)[1].str()));
    return ids;
}

std::vector<std::string> EngineTest::TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(std::u8string(temp_.path().begin(), temp_.path().end()))))
        names.push_back(entry.path().filename().string());
    return names;
}

std::vector<ui::ScriptRecord> EngineTest::DialogRecords() const {
    const std::string path = work_.File("dialogs.txt");
    return PathExists(path) ? ui::ReadScriptRecords(ReadBytes(path))
                            : std::vector<ui::ScriptRecord>();
}

void EngineTest::AnswerDialogs(const std::vector<std::string>& answer_lines) {
    std::string text;
    for (const std::string& line : answer_lines)
        text += "answer: " + line + "\n";
    WriteBytes(work_.File("dialogs.txt"), text);
}

std::string EngineTest::ServeControlFile(const std::string& contents) {
    HttpResponse response;
    response.body = contents;
    server_.Serve("/kelvraeduclient/update.inf", response);
    return server_.Url("/kelvraeduclient/update.inf");
}

}  // namespace kelvra::test
