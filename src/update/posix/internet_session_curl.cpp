// The Internet session port on Linux: libcurl for HTTP and FTP (driven through the multi
// interface so that a body is read block by block), GNetworkMonitor for the
// connected-state query. Failures carry WinInet's error numbers and texts.
#include <gio/gio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "update/internet_session.h"
#include "update/posix/curl_library.h"

namespace kelvra::update {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kPauseAbove = 256 * 1024;

thread_local std::uint32_t t_last_error = 0;
thread_local std::string t_last_response;

std::uint32_t MapCurlError(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return 0;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return kInetErrorUnrecognizedScheme;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return kInetErrorNameNotResolved;
        case CURLE_COULDNT_CONNECT:
            return kInetErrorCannotConnect;
        case CURLE_OPERATION_TIMEDOUT:
            return kInetErrorTimeout;
        case CURLE_TOO_MANY_REDIRECTS:
            return kInetErrorRedirectFailed;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
            return kInetErrorInvalidCertificate;
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_LOGIN_DENIED:
            return kInetErrorExtended;
        default:
            return kInetErrorConnectionReset;
    }
}

// Calls add with each non-empty line of CR LF separated header text.
template <typename Add>
void ForEachHeaderLine(const std::string& headers, Add add) {
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find("\r\n", start);
        if (end == std::string::npos)
            end = headers.size();
        if (end > start)
            add(headers.substr(start, end - start));
        start = end + 2;
    }
}

// A transfer driven step by step: headers first, then the body on demand.
class CurlTransfer {
  public:
    CurlTransfer() : easy_(Curl().easy_init()), multi_(Curl().multi_init()) {
        Curl().easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBody);
        Curl().easy_setopt(easy_, CURLOPT_WRITEDATA, this);
        Curl().easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeader);
        Curl().easy_setopt(easy_, CURLOPT_HEADERDATA, this);
        Curl().easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    }
    ~CurlTransfer() {
        if (added_)
            Curl().multi_remove_handle(multi_, easy_);
        Curl().easy_cleanup(easy_);
        Curl().multi_cleanup(multi_);
        if (headers_ != nullptr)
            Curl().slist_free_all(headers_);
    }
    CurlTransfer(const CurlTransfer&) = delete;
    CurlTransfer& operator=(const CurlTransfer&) = delete;

    CURL* easy() { return easy_; }
    void AddHeader(const std::string& line) {
        headers_ = Curl().slist_append(headers_, line.c_str());
    }
    void SetReceiveTimeout(int ms) { receive_timeout_ms_ = ms > 0 ? ms : kDefaultReceiveTimeoutMs; }
    void SetConnectTimeout(int ms) { connect_timeout_ms_ = ms > 0 ? ms : kDefaultConnectTimeoutMs; }

    // Runs until the response headers are complete (or the body starts); false on failure.
    bool Start() {
        if (headers_ != nullptr)
            Curl().easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
        Curl().multi_add_handle(multi_, easy_);
        added_ = true;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(std::int64_t{receive_timeout_ms_} +
                                                     connect_timeout_ms_);  // no int overflow
        while (!headers_done_ && !done_) {
            if (!Step())
                return false;
            if (Clock::now() > deadline) {
                t_last_error = kInetErrorTimeout;
                return false;
            }
        }
        if (done_ && result_ != CURLE_OK) {
            t_last_error = MapCurlError(result_);
            t_last_response = ResponseText();
            return false;
        }
        return true;
    }

    long Status() {
        long status = 0;
        Curl().easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
        return status;
    }

    std::int64_t ContentLength() {
        curl_off_t length = -1;
        Curl().easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        return length > 0 ? static_cast<std::int64_t>(length) : 0;
    }

    std::optional<std::size_t> Read(char* out, std::size_t size) {
        const auto started = Clock::now();
        while (buffer_.size() - offset_ == 0 && !done_) {
            if (paused_) {
                paused_ = false;
                Curl().easy_pause(easy_, CURLPAUSE_CONT);
            }
            const std::size_t before = buffer_.size();
            if (!Step())
                return std::nullopt;
            if (buffer_.size() == before && !done_ &&
                Clock::now() - started > std::chrono::milliseconds(receive_timeout_ms_)) {
                t_last_error = kInetErrorTimeout;
                failed_ = true;
                return std::nullopt;
            }
        }
        const std::size_t n = std::min(size, buffer_.size() - offset_);
        if (n == 0) {
            if (done_ && result_ != CURLE_OK) {
                t_last_error = MapCurlError(result_);
                return std::nullopt;
            }
            return 0;
        }
        std::memcpy(out, buffer_.data() + offset_, n);
        offset_ += n;
        if (offset_ == buffer_.size()) {
            buffer_.clear();
            offset_ = 0;
        }
        return n;
    }

    char* error_buffer() { return error_buffer_; }
    // The server's answer for a refusal: its last response line, else libcurl's text.
    std::string ResponseText() const { return last_line_.empty() ? error_buffer_ : last_line_; }

  private:
    // One turn of the multi handle: wait briefly for the socket, then perform.
    bool Step() {
        const std::size_t buffered = buffer_.size();
        const bool had_headers = headers_done_;
        int running = 0;
        if (Curl().multi_perform(multi_, &running) != CURLM_OK)
            return Fail();
        int left = 0;
        while (CURLMsg* msg = Curl().multi_info_read(multi_, &left)) {
            if (msg->msg == CURLMSG_DONE) {
                done_ = true;
                result_ = msg->data.result;
            }
        }
        if (running == 0)
            done_ = true;
        if (done_ || headers_done_ != had_headers || buffer_.size() != buffered)
            return true;
        int ready = 0;
        if (Curl().multi_poll(multi_, nullptr, 0, 50, &ready) != CURLM_OK)
            return Fail();
        return true;
    }

    bool Fail() {
        t_last_error = kInetErrorConnectionReset;
        failed_ = true;
        return false;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* self_ptr) {
        auto* self = static_cast<CurlTransfer*>(self_ptr);
        self->headers_done_ = true;
        if (self->buffer_.size() - self->offset_ > kPauseAbove) {
            self->paused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        self->buffer_.append(data, size * count);
        return size * count;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self_ptr) {
        auto* self = static_cast<CurlTransfer*>(self_ptr);
        const std::string line(data, size * count);
        // An FTP server's answers arrive here too; the last one explains a refusal.
        self->last_line_ = line.substr(0, line.find_last_not_of("\r\n") + 1);
        if (line.rfind("HTTP/", 0) == 0) {
            self->status_line_seen_ = true;
            self->informational_ = line.size() > 9 && line[9] == '1';
        }
        if ((line == "\r\n" || line == "\n") && self->status_line_seen_ && !self->informational_) {
            // A redirection continues with the next response's headers.
            long status = 0;
            Curl().easy_getinfo(self->easy_, CURLINFO_RESPONSE_CODE, &status);
            if (!(status >= 300 && status < 400 && self->follows_redirects_))
                self->headers_done_ = true;
        }
        return size * count;
    }

  public:
    bool follows_redirects_ = true;

  private:
    CURL* easy_;
    CURLM* multi_;
    curl_slist* headers_ = nullptr;
    bool added_ = false;
    bool headers_done_ = false;
    bool status_line_seen_ = false;
    bool informational_ = false;
    bool done_ = false;
    bool paused_ = false;
    bool failed_ = false;
    CURLcode result_ = CURLE_OK;
    std::string buffer_;
    std::string last_line_;
    std::size_t offset_ = 0;
    int receive_timeout_ms_ = kDefaultReceiveTimeoutMs;
    int connect_timeout_ms_ = kDefaultConnectTimeoutMs;
    char error_buffer_[CURL_ERROR_SIZE] = {};
};

class CurlRequest final : public InternetRequest {
  public:
    explicit CurlRequest(std::unique_ptr<CurlTransfer> t) : t_(std::move(t)) {}
    int StatusCode() override { return static_cast<int>(t_->Status()); }
    std::int64_t ContentLength() override { return t_->ContentLength(); }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        return t_->Read(buffer, size);
    }

  private:
    std::unique_ptr<CurlTransfer> t_;
};

struct SessionSettings {
    std::string agent;
    std::string proxy;
    int connect_timeout_ms = 0;
    int receive_timeout_ms = 0;
    bool ignore_cert = false;
};

// The proxy the desktop names for url (GIO's resolver: desktop settings, PAC, environment),
// as the browser's pages use it; empty for a direct connection or when GIO cannot say, which
// leaves libcurl to the environment.
std::string LookUpDesktopProxy(const std::string& url) {
    GProxyResolver* resolver = g_proxy_resolver_get_default();
    if (resolver == nullptr || url.empty())
        return {};
    gchar** proxies = g_proxy_resolver_lookup(resolver, url.c_str(), nullptr, nullptr);
    std::string proxy = proxies != nullptr && proxies[0] != nullptr ? proxies[0] : "";
    g_strfreev(proxies);
    if (proxy.rfind("direct://", 0) == 0)
        return {};
    // GIO's "socks://" is any SOCKS version; libcurl wants one named.
    if (proxy.rfind("socks://", 0) == 0)
        proxy.replace(0, 5, "socks5");
    return proxy;
}

// GIO's resolvers read the desktop's settings on every lookup (libproxy its files too),
// which costs more than a whole fetch on the local network; an answer is kept for a while.
std::string DesktopProxyFor(const std::string& url) {
    constexpr auto kAnswerLife = std::chrono::seconds(30);
    constexpr std::size_t kAnswersKept = 64;
    static std::mutex mutex;
    static std::map<std::string, std::pair<Clock::time_point, std::string>> answers;
    const auto now = Clock::now();
    {
        std::lock_guard lock(mutex);
        const auto it = answers.find(url);
        if (it != answers.end() && now - it->second.first < kAnswerLife)
            return it->second.second;
    }
    std::string proxy = LookUpDesktopProxy(url);
    std::lock_guard lock(mutex);
    if (answers.size() >= kAnswersKept)
        answers.clear();
    answers[url] = {now, proxy};
    return proxy;
}

// url: the address the transfer starts from (its proxy is the system's when the session
// names none).
void ApplyCommon(CurlTransfer& t, const SessionSettings& s, const std::string& url) {
    CURL* e = t.easy();
    Curl().easy_setopt(e, CURLOPT_USERAGENT, s.agent.c_str());
    const std::string proxy = s.proxy.empty() ? DesktopProxyFor(url) : s.proxy;
    if (!proxy.empty())
        Curl().easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
    if (s.connect_timeout_ms > 0)
        Curl().easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(s.connect_timeout_ms));
    t.SetConnectTimeout(s.connect_timeout_ms);
    t.SetReceiveTimeout(s.receive_timeout_ms);
    Curl().easy_setopt(e, CURLOPT_ERRORBUFFER, t.error_buffer());
    if (s.ignore_cert) {
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
    }
}

// Redirections are followed to HTTP or HTTPS only, and at most kMaxRedirects of them.
void FollowRedirects(CURL* e) {
    Curl().easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    Curl().easy_setopt(e, CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
    Curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    Curl().easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
}

std::string FtpUrl(const std::string& host, std::uint16_t port, const std::string& path) {
    return "ftp://" + host + ":" + std::to_string(port) + "/" + path;
}

class CurlFtp final : public FtpConnection {
  public:
    CurlFtp(SessionSettings settings, std::string host, std::uint16_t port, std::string user,
            std::string password, bool passive)
        : settings_(std::move(settings)),
          host_(std::move(host)),
          port_(port),
          user_(std::move(user)),
          password_(std::move(password)),
          passive_(passive) {}

    // Logs in and lists the root, so that a refused host or bad login fails here.
    bool Connect() {
        auto t = Prepare("");
        Curl().easy_setopt(t->easy(), CURLOPT_NOBODY, 1L);
        return Run(*t);
    }

    bool SetCurrentDirectory(const std::string& directory) override {
        std::string dir = directory;
        for (char& c : dir)
            if (c == '\\')
                c = '/';
        while (!dir.empty() && dir.front() == '/')
            dir.erase(0, 1);
        if (!dir.empty() && dir.back() != '/')
            dir += '/';
        auto t = Prepare(dir);
        Curl().easy_setopt(t->easy(), CURLOPT_NOBODY, 1L);
        if (!Run(*t))
            return false;
        directory_ = dir;
        return true;
    }

    std::optional<std::int64_t> FindFileSize(const std::string& name) override {
        auto t = Prepare(directory_ + name);
        Curl().easy_setopt(t->easy(), CURLOPT_NOBODY, 1L);
        Curl().easy_setopt(t->easy(), CURLOPT_FILETIME, 0L);
        if (!Run(*t))
            return std::nullopt;
        curl_off_t length = -1;
        Curl().easy_getinfo(t->easy(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length < 0)
            return std::nullopt;
        return static_cast<std::int64_t>(length);
    }

    std::unique_ptr<InternetRequest> OpenFile(const std::string& name) override {
        auto t = Prepare(directory_ + name);
        Curl().easy_setopt(t->easy(), CURLOPT_TRANSFERTEXT, 0L);
        if (!t->Start())
            return nullptr;
        return std::make_unique<CurlRequest>(std::move(t));
    }

  private:
    std::unique_ptr<CurlTransfer> Prepare(const std::string& path) {
        auto t = std::make_unique<CurlTransfer>();
        const std::string url = FtpUrl(host_, port_, path);
        ApplyCommon(*t, settings_, url);
        Curl().easy_setopt(t->easy(), CURLOPT_URL, url.c_str());
        Curl().easy_setopt(t->easy(), CURLOPT_USERNAME,
                           user_.empty() ? "anonymous" : user_.c_str());
        Curl().easy_setopt(t->easy(), CURLOPT_PASSWORD, user_.empty() ? "" : password_.c_str());
        if (!passive_)
            Curl().easy_setopt(t->easy(), CURLOPT_FTPPORT, "127.0.0.1");
        return t;
    }

    static bool Run(CurlTransfer& t) {
        const CURLcode code = Curl().easy_perform(t.easy());
        if (code != CURLE_OK) {
            t_last_error = MapCurlError(code);
            t_last_response = t.ResponseText();
            return false;
        }
        return true;
    }

    SessionSettings settings_;
    std::string host_;
    std::uint16_t port_;
    std::string user_;
    std::string password_;
    bool passive_;
    std::string directory_;
};

// A POST driven as a GET is: the same time-outs and redirection limit, its answer read
// block by block.
class CurlPost final : public HttpPostRequest {
  public:
    CurlPost(SessionSettings settings, std::string url)
        : settings_(std::move(settings)), url_(std::move(url)) {}
    bool Send(const std::string& headers, const std::string& body) override {
        t_last_error = 0;
        body_ = body;  // curl reads the body while the transfer runs
        transfer_ = std::make_unique<CurlTransfer>();
        ApplyCommon(*transfer_, settings_, url_);
        CURL* e = transfer_->easy();
        Curl().easy_setopt(e, CURLOPT_URL, url_.c_str());
        Curl().easy_setopt(e, CURLOPT_POST, 1L);
        Curl().easy_setopt(e, CURLOPT_POSTFIELDS, body_.data());
        Curl().easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
        // A redirect to HTTPS is followed; certificate date and name are not checked.
        FollowRedirects(e);
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
        Curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
        ForEachHeaderLine(headers, [this](const std::string& line) { transfer_->AddHeader(line); });
        if (!transfer_->Start()) {
            transfer_.reset();
            return false;
        }
        return true;
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (!transfer_)
            return 0;
        return transfer_->Read(buffer, size);
    }

  private:
    SessionSettings settings_;
    std::string url_;
    std::string body_;
    std::unique_ptr<CurlTransfer> transfer_;
};

class CurlHttp final : public HttpConnection {
  public:
    CurlHttp(SessionSettings settings, std::string host, std::uint16_t port)
        : settings_(std::move(settings)), host_(std::move(host)), port_(port) {}
    std::unique_ptr<HttpPostRequest> OpenPost(const std::string& path) override {
        t_last_error = 0;
        std::string url = "http://" + host_ + ":" + std::to_string(port_);
        if (path.empty() || path.front() != '/')
            url += '/';
        return std::make_unique<CurlPost>(settings_, url + path);
    }

  private:
    SessionSettings settings_;
    std::string host_;
    std::uint16_t port_;
};

class CurlSession final : public InternetSession {
  public:
    CurlSession(std::string agent, std::string proxy) {
        settings_.agent = std::move(agent);
        settings_.proxy = std::move(proxy);
    }
    void SetConnectTimeout(int ms) override { settings_.connect_timeout_ms = ms; }
    void SetReceiveTimeout(int ms) override { settings_.receive_timeout_ms = ms; }
    void IgnoreCertificateErrors() override { settings_.ignore_cert = true; }

    std::unique_ptr<InternetRequest> OpenUrl(const std::string& url, const std::string& headers,
                                             const RequestFlags& flags) override {
        t_last_error = 0;
        auto t = std::make_unique<CurlTransfer>();
        ApplyCommon(*t, settings_, url);
        CURL* e = t->easy();
        Curl().easy_setopt(e, CURLOPT_URL, url.c_str());
        Curl().easy_setopt(e, CURLOPT_HTTPGET, 1L);
        FollowRedirects(e);
        // Fresh content: nothing is cached here, and caches on the way are told not to answer.
        t->AddHeader("Pragma: no-cache");
        t->AddHeader("Cache-Control: no-cache");
        if (!flags.keep_connection)
            Curl().easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
        if (flags.ignore_cert_date || flags.ignore_cert_name) {
            Curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
            Curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
        }
        ForEachHeaderLine(headers, [&t](const std::string& line) { t->AddHeader(line); });
        if (!t->Start())
            return nullptr;
        return std::make_unique<CurlRequest>(std::move(t));
    }

    std::unique_ptr<FtpConnection> ConnectFtp(const std::string& host, std::uint16_t port,
                                              const std::string& user, const std::string& password,
                                              bool passive) override {
        t_last_error = 0;
        auto ftp = std::make_unique<CurlFtp>(settings_, host, port, user, password, passive);
        if (!ftp->Connect())
            return nullptr;
        return ftp;
    }

    std::unique_ptr<HttpConnection> ConnectHttp(const std::string& host,
                                                std::uint16_t port) override {
        t_last_error = 0;
        // As with WinInet, nothing is contacted until a request is sent.
        if (host.empty()) {
            t_last_error = kInetErrorNameNotResolved;
            return nullptr;
        }
        return std::make_unique<CurlHttp>(settings_, host, port);
    }

  private:
    SessionSettings settings_;
};

class CurlPlatform final : public InternetPlatform {
  public:
    std::optional<std::uint32_t> ConnectedState() override {
        GNetworkMonitor* monitor = g_network_monitor_get_default();
        if (monitor == nullptr || !g_network_monitor_get_network_available(monitor))
            return std::nullopt;
        // INTERNET_CONNECTION_LAN; behind a captive portal or with local access only the
        // platform still reports a configured network.
        return 0x02u;
    }
    bool Autodial(bool) override { return ConnectedState().has_value(); }
    void HangUp() override {}
    std::unique_ptr<InternetSession> Open(const std::string& agent,
                                          const std::string& proxy) override {
        if (LoadCurl() == nullptr) {
            t_last_error = kInetErrorInternal;
            return nullptr;
        }
        return std::make_unique<CurlSession>(agent, proxy);
    }
    std::uint32_t LastError() override { return t_last_error; }
    std::string ErrorText(std::uint32_t code) override {
        switch (code) {
            case kInetErrorTimeout:
                return "The operation timed out";
            case kInetErrorInternal:
                return "An internal error occurred";
            case kInetErrorNameNotResolved:
                return "The server name or address could not be resolved";
            case kInetErrorUnrecognizedScheme:
                return "The URL does not use a recognized protocol";
            case kInetErrorCannotConnect:
                return "A connection with the server could not be established";
            case kInetErrorConnectionReset:
                return "The connection with the server was reset";
            case kInetErrorInvalidCertificate:
                return "The certificate authority is invalid or incorrect";
            case kInetErrorRedirectFailed:
                return "The redirection failed because either the scheme changed or all "
                       "attempts made to redirect failed";
            default:
                return {};
        }
    }
    std::string LastResponseText() override { return t_last_response; }
};

}  // namespace

InternetPlatform& SystemInternet() {
    static CurlPlatform platform;
    return platform;
}

}  // namespace kelvra::update
