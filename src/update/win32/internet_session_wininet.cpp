// The Internet session port on Windows: WinInet.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/wide.h"
#include "update/internet_session.h"

namespace kelvra::update {
namespace {

std::wstring W(const std::string& s) {
    return platform::win32::Widen(s);
}

std::string U(const wchar_t* s, std::size_t n) {
    return platform::win32::Narrow({s, n});
}

// One InternetReadFile: the bytes read (0 at the end), nullopt on failure.
std::optional<std::size_t> ReadBlock(HINTERNET h, char* buffer, std::size_t size) {
    DWORD read = 0;
    if (!InternetReadFile(h, buffer, static_cast<DWORD>(size), &read))
        return std::nullopt;
    return static_cast<std::size_t>(read);
}

DWORD QueryNumber(HINTERNET h, DWORD info) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!HttpQueryInfoW(h, info | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        return 0;
    return value;
}

// A response header as text; empty when absent.
std::wstring QueryText(HINTERNET h, DWORD info) {
    DWORD size = 0;
    HttpQueryInfoW(h, info, nullptr, &size, nullptr);
    if (size == 0)
        return {};
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(h, info, buffer.data(), &size, nullptr))
        return {};
    return std::wstring(buffer.data(), size / sizeof(wchar_t));
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool IsHttpUrl(const std::wstring& url) {
    return _wcsnicmp(url.c_str(), L"http://", 7) == 0 ||
           _wcsnicmp(url.c_str(), L"https://", 8) == 0;
}

// location resolved against base; empty when they do not combine.
std::wstring CombineUrl(const std::wstring& base, const std::wstring& location) {
    DWORD size = 0;
    InternetCombineUrlW(base.c_str(), location.c_str(), nullptr, &size, ICU_NO_ENCODE);
    std::vector<wchar_t> buffer(size + 2);
    size = static_cast<DWORD>(buffer.size());
    if (!InternetCombineUrlW(base.c_str(), location.c_str(), buffer.data(), &size, ICU_NO_ENCODE))
        return {};
    return std::wstring(buffer.data(), size);
}

const wchar_t* HeadersOrNull(const std::wstring& headers) {
    return headers.empty() ? nullptr : headers.c_str();
}

DWORD HeadersLength(const std::wstring& headers) {
    return headers.empty() ? 0 : static_cast<DWORD>(-1);
}

// What the engine sets on its session; each GET opens a session of its own with it.
struct SessionOptions {
    std::wstring agent;
    std::wstring proxy;  // empty: the system's Internet configuration
    int connect_timeout_ms = 0;
    int receive_timeout_ms = 0;
    bool ignore_certificate_errors = false;
};

void SetDword(HINTERNET h, DWORD option, DWORD value) {
    InternetSetOptionW(h, option, &value, sizeof(value));
}

// Wine keeps the time-outs of a request handle only (it ignores those of a session), so
// they are set on each request as well as on the session.
void ApplyOptions(HINTERNET h, const SessionOptions& o) {
    if (o.connect_timeout_ms > 0)
        SetDword(h, INTERNET_OPTION_CONNECT_TIMEOUT, static_cast<DWORD>(o.connect_timeout_ms));
    if (o.receive_timeout_ms > 0)
        SetDword(h, INTERNET_OPTION_RECEIVE_TIMEOUT, static_cast<DWORD>(o.receive_timeout_ms));
    if (o.ignore_certificate_errors)
        SetDword(h, INTERNET_OPTION_SECURITY_FLAGS,
                 SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                     SECURITY_FLAG_IGNORE_UNKNOWN_CA);
}

HINTERNET OpenSession(const SessionOptions& o) {
    HINTERNET h = InternetOpenW(
        o.agent.c_str(), o.proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
        o.proxy.empty() ? nullptr : o.proxy.c_str(), nullptr, 0);
    if (h != nullptr)
        ApplyOptions(h, o);
    return h;
}

// A request and the connection it was opened on.
struct Exchange {
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
};

void Close(const Exchange& e) {
    if (e.request != nullptr)
        InternetCloseHandle(e.request);
    if (e.connection != nullptr)
        InternetCloseHandle(e.connection);
}

std::wstring Part(const wchar_t* text, DWORD length) {
    return text != nullptr ? std::wstring(text, length) : std::wstring();
}

// Sends a GET for url over session. The options go on the request before it is sent: Wine
// takes a request's time-outs only then, and ignores those of a session. Both handles are
// null on failure, with error set.
Exchange SendGet(HINTERNET session, const SessionOptions& options, const std::wstring& url,
                 const std::wstring& headers, DWORD flags, DWORD& error) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength =
        parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        error = GetLastError();
        return {};
    }
    const std::wstring host = Part(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring user = Part(parts.lpszUserName, parts.dwUserNameLength);
    const std::wstring password = Part(parts.lpszPassword, parts.dwPasswordLength);
    std::wstring path = Part(parts.lpszUrlPath, parts.dwUrlPathLength) +
                        Part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (path.empty())
        path = L"/";
    Exchange e;
    e.connection =
        InternetConnectW(session, host.c_str(), parts.nPort, user.empty() ? nullptr : user.c_str(),
                         user.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_HTTP,
                         flags & INTERNET_FLAG_EXISTING_CONNECT, 0);
    if (e.connection != nullptr)
        e.request = HttpOpenRequestW(
            e.connection, L"GET", path.c_str(), nullptr, nullptr, nullptr,
            flags | (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0), 0);
    if (e.request != nullptr) {
        ApplyOptions(e.request, options);
        if (HttpSendRequestW(e.request, HeadersOrNull(headers), HeadersLength(headers), nullptr, 0))
            return e;
    }
    error = GetLastError();
    Close(e);
    return {};
}

// Follows the redirections of response (which came from url) with GETs, at most
// kMaxRedirects of them and only to HTTP or HTTPS. WinInet's own following is switched off
// (INTERNET_FLAG_NO_AUTO_REDIRECT in flags): Wine's has no limit, so a redirection loop
// never ended. Returns the final exchange ({null, response} when response is no
// redirection), or null handles with error set; response stays the caller's to close.
Exchange FollowRedirects(HINTERNET session, const SessionOptions& options, HINTERNET response,
                         std::wstring url, const std::wstring& headers, DWORD flags, DWORD& error) {
    Exchange current{nullptr, response};
    for (int hops = 0;; ++hops) {
        if (!IsRedirect(QueryNumber(current.request, HTTP_QUERY_STATUS_CODE)))
            return current;
        const std::wstring location = QueryText(current.request, HTTP_QUERY_LOCATION);
        if (location.empty())
            return current;
        if (current.request != response)
            Close(current);
        url = CombineUrl(url, location);
        if (hops == kMaxRedirects || !IsHttpUrl(url)) {
            error = kInetErrorRedirectFailed;
            return {};
        }
        current = SendGet(session, options, url, headers, flags, error);
        if (current.request == nullptr)
            return {};
    }
}

class Handle {
  public:
    explicit Handle(HINTERNET h = nullptr) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return h_; }
    void reset(HINTERNET h = nullptr) {
        if (h_ != nullptr)
            InternetCloseHandle(h_);
        h_ = h;
    }

  private:
    HINTERNET h_;
};

class WinInetRequest final : public InternetRequest {
  public:
    // connection and own_session: what was opened for this request alone, closed after it.
    explicit WinInetRequest(HINTERNET h, HINTERNET connection = nullptr,
                            HINTERNET own_session = nullptr)
        : session_(own_session), connection_(connection), h_(h) {}
    int StatusCode() override {
        return static_cast<int>(QueryNumber(h_.get(), HTTP_QUERY_STATUS_CODE));
    }
    std::int64_t ContentLength() override {
        return static_cast<std::int64_t>(QueryNumber(h_.get(), HTTP_QUERY_CONTENT_LENGTH));
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (!length_)
            length_ = ContentLength();
        const auto n = ReadBlock(h_.get(), buffer, size);
        if (!n)
            return n;
        received_ += static_cast<std::int64_t>(*n);
        // WinInet ends a body whose connection closed before the announced length as if it
        // were complete; such a body is cut off, not a whole file.
        if (*n == 0 && received_ < *length_) {
            SetLastError(kInetErrorConnectionReset);
            return std::nullopt;
        }
        return n;
    }

  private:
    Handle session_;
    Handle connection_;
    Handle h_;
    std::optional<std::int64_t> length_;
    std::int64_t received_ = 0;
};

// A GET opened on a worker thread, so that the caller can give up at its deadline:
// WinInet's receive time-out bounds each receive, not headers that trickle in byte by byte.
// Once given up, the worker closes what WinInet hands it when that call returns.
class OpenJob {
  public:
    OpenJob(SessionOptions options, std::wstring url, std::wstring headers, DWORD flags)
        : options_(std::move(options)),
          url_(std::move(url)),
          headers_(std::move(headers)),
          flags_(flags) {}

    static std::unique_ptr<InternetRequest> Run(const std::shared_ptr<OpenJob>& job) {
        std::thread([job] { job->Work(); }).detach();
        const int connect = job->options_.connect_timeout_ms > 0 ? job->options_.connect_timeout_ms
                                                                 : kDefaultConnectTimeoutMs;
        const int receive = job->options_.receive_timeout_ms > 0 ? job->options_.receive_timeout_ms
                                                                 : kDefaultReceiveTimeoutMs;
        std::unique_lock lock(job->mutex_);
        if (!job->finished_.wait_for(lock, std::chrono::milliseconds(connect + receive),
                                     [&] { return job->done_; })) {
            job->abandoned_ = true;
            SetLastError(kInetErrorTimeout);
            return nullptr;
        }
        if (job->response_.request == nullptr) {
            SetLastError(job->error_);
            return nullptr;
        }
        return std::make_unique<WinInetRequest>(job->response_.request, job->response_.connection,
                                                job->session_);
    }

  private:
    void Work() {
        DWORD error = 0;
        HINTERNET session = OpenSession(options_);
        Exchange response;
        if (session == nullptr) {
            error = GetLastError();
        } else {
            const Exchange first = SendGet(session, options_, url_, headers_, flags_, error);
            if (first.request != nullptr) {
                response = FollowRedirects(session, options_, first.request, url_, headers_, flags_,
                                           error);
                if (response.request == first.request)
                    response.connection = first.connection;
                else
                    Close(first);
            }
            if (response.request == nullptr) {
                InternetCloseHandle(session);
                session = nullptr;
            }
        }
        std::unique_lock lock(mutex_);
        if (abandoned_) {
            lock.unlock();
            Close(response);
            if (session != nullptr)
                InternetCloseHandle(session);
            return;
        }
        session_ = session;
        response_ = response;
        error_ = error;
        done_ = true;
        finished_.notify_all();
    }

    const SessionOptions options_;
    const std::wstring url_;
    const std::wstring headers_;
    const DWORD flags_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    bool abandoned_ = false;
    HINTERNET session_ = nullptr;
    Exchange response_;
    DWORD error_ = 0;
};

class WinInetFtp final : public FtpConnection {
  public:
    explicit WinInetFtp(HINTERNET h) : h_(h) {}
    bool SetCurrentDirectory(const std::string& directory) override {
        return FtpSetCurrentDirectoryW(h_.get(), W(directory).c_str()) != FALSE;
    }
    std::optional<std::int64_t> FindFileSize(const std::string& name) override {
        WIN32_FIND_DATAW data{};
        HINTERNET find =
            FtpFindFirstFileW(h_.get(), W(name).c_str(), &data, INTERNET_FLAG_RELOAD, 0);
        if (find == nullptr)
            return std::nullopt;
        InternetCloseHandle(find);
        return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    std::unique_ptr<InternetRequest> OpenFile(const std::string& name) override {
        HINTERNET file = FtpOpenFileW(h_.get(), W(name).c_str(), GENERIC_READ,
                                      FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
        if (file == nullptr)
            return nullptr;
        return std::make_unique<WinInetRequest>(file);
    }

  private:
    Handle h_;
};

constexpr DWORD kPostFlags =
    INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS | INTERNET_FLAG_NO_AUTO_REDIRECT;

class WinInetPost final : public HttpPostRequest {
  public:
    // session: the Internet session the connection belongs to; url: the post's address.
    WinInetPost(HINTERNET h, HINTERNET session, SessionOptions options, std::wstring url)
        : h_(h), session_(session), options_(std::move(options)), url_(std::move(url)) {
        ApplyOptions(h, options_);
    }
    bool Send(const std::string& headers, const std::string& body) override {
        const std::wstring wheaders = W(headers);
        std::string data = body;  // HttpSendRequest takes a non-const buffer
        if (!HttpSendRequestW(h_.get(), HeadersOrNull(wheaders), HeadersLength(wheaders),
                              data.empty() ? nullptr : data.data(),
                              static_cast<DWORD>(data.size())))
            return false;
        // A redirected post goes on as a GET, as WinInet's own following does.
        DWORD error = 0;
        const Exchange last = FollowRedirects(
            session_, options_, h_.get(), url_, L"",
            kPostFlags | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, error);
        if (last.request == nullptr) {
            SetLastError(error);
            return false;
        }
        if (last.request != h_.get()) {
            followed_connection_.reset(last.connection);
            followed_.reset(last.request);
        }
        return true;
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        return ReadBlock(followed_.get() != nullptr ? followed_.get() : h_.get(), buffer, size);
    }

  private:
    Handle h_;
    Handle followed_connection_;
    Handle followed_;
    HINTERNET session_;
    SessionOptions options_;
    std::wstring url_;
};

class WinInetHttp final : public HttpConnection {
  public:
    WinInetHttp(HINTERNET h, HINTERNET session, SessionOptions options, std::wstring base)
        : h_(h), session_(session), options_(std::move(options)), base_(std::move(base)) {}
    std::unique_ptr<HttpPostRequest> OpenPost(const std::string& path) override {
        HINTERNET request = HttpOpenRequestW(h_.get(), L"POST", W(path).c_str(), nullptr, nullptr,
                                             nullptr, kPostFlags, 0);
        if (request == nullptr)
            return nullptr;
        std::wstring url = base_;
        if (path.empty() || path.front() != '/')
            url += L'/';
        return std::make_unique<WinInetPost>(request, session_, options_, url + W(path));
    }

  private:
    Handle h_;
    HINTERNET session_;
    SessionOptions options_;
    std::wstring base_;
};

class WinInetSession final : public InternetSession {
  public:
    WinInetSession(HINTERNET h, SessionOptions options) : h_(h), options_(std::move(options)) {}
    void SetConnectTimeout(int ms) override {
        options_.connect_timeout_ms = ms;
        ApplyOptions(h_.get(), options_);
    }
    void SetReceiveTimeout(int ms) override {
        options_.receive_timeout_ms = ms;
        ApplyOptions(h_.get(), options_);
    }
    void IgnoreCertificateErrors() override {
        options_.ignore_certificate_errors = true;
        ApplyOptions(h_.get(), options_);
    }
    std::unique_ptr<InternetRequest> OpenUrl(const std::string& url, const std::string& headers,
                                             const RequestFlags& flags) override {
        DWORD f = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT;
        if (flags.keep_connection)
            f |= INTERNET_FLAG_KEEP_CONNECTION;
        if (flags.existing_connect)
            f |= INTERNET_FLAG_EXISTING_CONNECT;
        if (flags.ignore_cert_date)
            f |= INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
        if (flags.ignore_cert_name)
            f |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
        return OpenJob::Run(std::make_shared<OpenJob>(options_, W(url), W(headers), f));
    }
    std::unique_ptr<FtpConnection> ConnectFtp(const std::string& host, std::uint16_t port,
                                              const std::string& user, const std::string& password,
                                              bool passive) override {
        const std::wstring wuser = W(user), wpassword = W(password);
        HINTERNET connection = InternetConnectW(
            h_.get(), W(host).c_str(), port, user.empty() ? nullptr : wuser.c_str(),
            user.empty() ? nullptr : wpassword.c_str(), INTERNET_SERVICE_FTP,
            passive ? INTERNET_FLAG_PASSIVE : 0, 0);
        if (connection == nullptr)
            return nullptr;
        return std::make_unique<WinInetFtp>(connection);
    }
    std::unique_ptr<HttpConnection> ConnectHttp(const std::string& host,
                                                std::uint16_t port) override {
        HINTERNET connection = InternetConnectW(h_.get(), W(host).c_str(), port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0);
        if (connection == nullptr)
            return nullptr;
        return std::make_unique<WinInetHttp>(connection, h_.get(), options_,
                                             L"http://" + W(host) + L":" + std::to_wstring(port));
    }

  private:
    Handle h_;
    SessionOptions options_;
};

// The connected-state function, looked up in a freshly loaded library on each call.
using ConnectedStateFn = BOOL(WINAPI*)(LPDWORD, DWORD);

class WinInetPlatform final : public InternetPlatform {
  public:
    std::optional<std::uint32_t> ConnectedState() override {
        HMODULE lib = LoadLibraryW(L"wininet.dll");
        if (lib == nullptr)
            return std::nullopt;
        auto fn = reinterpret_cast<ConnectedStateFn>(
            reinterpret_cast<void*>(GetProcAddress(lib, "InternetGetConnectedState")));
        std::optional<std::uint32_t> result;
        DWORD flags = 0;
        if (fn != nullptr && fn(&flags, 0))
            result = flags;
        FreeLibrary(lib);
        return result;
    }
    bool Autodial(bool unattended) override {
        return InternetAutodial(
                   unattended ? INTERNET_AUTODIAL_FORCE_UNATTENDED : INTERNET_AUTODIAL_FORCE_ONLINE,
                   nullptr) != FALSE;
    }
    void HangUp() override { InternetAutodialHangup(0); }
    std::unique_ptr<InternetSession> Open(const std::string& agent,
                                          const std::string& proxy) override {
        SessionOptions options;
        options.agent = W(agent);
        options.proxy = W(proxy);
        HINTERNET h = OpenSession(options);
        if (h == nullptr)
            return nullptr;
        return std::make_unique<WinInetSession>(h, std::move(options));
    }
    std::uint32_t LastError() override { return GetLastError(); }
    std::string ErrorText(std::uint32_t code) override {
        wchar_t buffer[1025] = {};
        const DWORD n =
            FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                           GetModuleHandleW(L"wininet.dll"), code, 0, buffer, 1024, nullptr);
        std::size_t len = n;
        while (len > 0 && (buffer[len - 1] == L'\r' || buffer[len - 1] == L'\n'))
            --len;
        return U(buffer, len);
    }
    std::string LastResponseText() override {
        DWORD error = 0;
        DWORD length = 0;
        InternetGetLastResponseInfoW(&error, nullptr, &length);
        if (length == 0)
            return {};
        std::vector<wchar_t> buffer(length + 1);
        length = static_cast<DWORD>(buffer.size());
        if (!InternetGetLastResponseInfoW(&error, buffer.data(), &length))
            return {};
        return U(buffer.data(), length);
    }
};

}  // namespace

InternetPlatform& SystemInternet() {
    static WinInetPlatform platform;
    return platform;
}

}  // namespace kelvra::update
