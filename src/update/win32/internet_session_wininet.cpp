// The Internet session port on Windows: WinInet.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/win32/wide.h"
#include "update/internet_session.h"
#include "update/win32/slim_sync.h"

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

// What the engine sets on its session; requests take it over as well.
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

// How long a caller waits for the response headers: the connect and receive time-outs
// together (the platform's defaults where none is set).
std::chrono::milliseconds HeaderDeadline(const SessionOptions& o) {
    const std::int64_t connect =
        o.connect_timeout_ms > 0 ? o.connect_timeout_ms : kDefaultConnectTimeoutMs;
    const std::int64_t receive =
        o.receive_timeout_ms > 0 ? o.receive_timeout_ms : kDefaultReceiveTimeoutMs;
    return std::chrono::milliseconds(connect + receive);
}

HINTERNET OpenSession(const SessionOptions& o) {
    HINTERNET h = InternetOpenW(
        o.agent.c_str(), o.proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
        o.proxy.empty() ? nullptr : o.proxy.c_str(), nullptr, 0);
    if (h != nullptr)
        ApplyOptions(h, o);
    return h;
}

std::wstring Part(const wchar_t* text, DWORD length) {
    return text != nullptr ? std::wstring(text, length) : std::wstring();
}

// The parts of an address a request needs; the scheme, host and port also say whether a
// redirection leaves the origin that credentials were given for.
struct Address {
    INTERNET_SCHEME scheme = INTERNET_SCHEME_UNKNOWN;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring user;
    std::wstring password;
    std::wstring path;

    bool SameOrigin(const Address& other) const {
        return scheme == other.scheme && port == other.port &&
               CompareStringOrdinal(host.c_str(), -1, other.host.c_str(), -1, TRUE) == CSTR_EQUAL;
    }
};

// False with error set when url is not an HTTP or HTTPS address.
bool CrackHttpUrl(const std::wstring& url, Address& address, DWORD& error) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength =
        parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!IsHttpUrl(url)) {
        error = kInetErrorUnrecognizedScheme;
        return false;
    }
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        error = GetLastError();
        return false;
    }
    address.scheme = parts.nScheme;
    address.host = Part(parts.lpszHostName, parts.dwHostNameLength);
    address.port = parts.nPort;
    address.user = Part(parts.lpszUserName, parts.dwUserNameLength);
    address.password = Part(parts.lpszPassword, parts.dwPasswordLength);
    address.path = Part(parts.lpszUrlPath, parts.dwUrlPathLength) +
                   Part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (address.path.empty())
        address.path = L"/";
    return true;
}

// headers without its "Authorization" lines.
std::wstring WithoutAuthorization(const std::wstring& headers) {
    static constexpr wchar_t kName[] = L"authorization:";
    constexpr int kNameLength = static_cast<int>(std::size(kName)) - 1;
    std::wstring out;
    std::size_t start = 0;
    while (start < headers.size()) {
        std::size_t end = headers.find(L"\r\n", start);
        end = end == std::wstring::npos ? headers.size() : end + 2;
        const std::wstring line = headers.substr(start, end - start);
        if (line.size() < static_cast<std::size_t>(kNameLength) ||
            CompareStringOrdinal(line.c_str(), kNameLength, kName, kNameLength, TRUE) != CSTR_EQUAL)
            out += line;
        start = end;
    }
    return out == L"\r\n" ? std::wstring() : out;
}

// The server's last response text on the calling thread.
std::string ThreadResponseText() {
    DWORD error = 0;
    DWORD length = 0;
    InternetGetLastResponseInfoW(&error, nullptr, &length);
    if (length == 0)
        return {};
    std::vector<wchar_t> buffer(length + 1);
    length = static_cast<DWORD>(buffer.size());
    if (!InternetGetLastResponseInfoW(&error, buffer.data(), &length))
        return {};
    // The length given back may count the terminating NUL (Wine's does).
    return U(buffer.data(), wcsnlen(buffer.data(), length));
}

// WinInet keeps the response text per thread and HTTP requests run on a worker: the text
// of the calling thread's last failed request, nullopt when the thread's own text applies
// (FTP, which runs on the calling thread). Kept in a table by thread id rather than in a
// thread_local string: MinGW's thread exit now and then crashes running the destructor of a
// thread_local (seen with the engine's own update thread).
class RequestResponse {
  public:
    static void Set(std::optional<std::string> text) {
        Table& table = Get();
        std::lock_guard lock(table.mutex);
        if (text)
            table.texts[GetCurrentThreadId()] = std::move(*text);
        else
            table.texts.erase(GetCurrentThreadId());
    }
    static std::optional<std::string> Current() {
        Table& table = Get();
        std::lock_guard lock(table.mutex);
        const auto it = table.texts.find(GetCurrentThreadId());
        if (it == table.texts.end())
            return std::nullopt;
        return it->second;
    }

  private:
    struct Table {
        std::mutex mutex;
        std::map<DWORD, std::string> texts;
    };
    static Table& Get() {
        static Table* table = new Table;  // lives as long as the process, like the threads
        return *table;
    }
};

// A request and the connection it was opened on.
struct Exchange {
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
};

// What one request sends; a redirection changes the address and may change the rest.
struct Message {
    std::wstring method;
    std::wstring url;
    std::wstring headers;
    std::string body;
    DWORD flags = 0;
};

// The threads requests run on, kept for the next request once done: starting a thread (under
// Wine above all) costs more than a whole request on the local network. A thread stuck in a
// request its caller gave up on is not waited for: another one takes the next request.
class RequestThreads {
  public:
    static void Post(std::function<void()> job) {
        static RequestThreads* threads = new RequestThreads;  // lives as long as the process
        threads->Add(std::move(job));
    }

  private:
    static constexpr std::chrono::seconds kIdleLife{30};

    void Add(std::function<void()> job) {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (jobs_.size() <= idle_ + starting_) {
            ready_.notify_one();
            return;
        }
        ++starting_;
        std::thread([this] { Serve(); }).detach();
    }

    void Serve() {
        std::unique_lock lock(mutex_);
        --starting_;
        for (;;) {
            ++idle_;
            const bool got = ready_.wait_for(lock, kIdleLife, [&] { return !jobs_.empty(); });
            --idle_;
            if (!got)
                return;
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            job = nullptr;
            lock.lock();
        }
    }

    SlimMutex mutex_;
    SlimCondition ready_;
    std::deque<std::function<void()>> jobs_;
    std::size_t idle_ = 0;
    std::size_t starting_ = 0;
};

// Runs a request on a worker thread, so that the caller can give up at its deadline:
// WinInet's receive time-out bounds each receive, not headers that trickle in byte by byte.
// The worker opens every handle through Adopt; a caller that gives up closes them all,
// which makes a WinInet call blocked on one of them return, and the worker then stops
// instead of going on (following a redirection, say) with nobody waiting.
class Worker {
  public:
    Worker(HINTERNET session, SessionOptions options)
        : session_(session), options_(std::move(options)) {}

    // Sends message (on first, a request already opened for it, when given) and follows
    // the redirections; the final exchange, owned by the caller, or null handles with the
    // calling thread's last error set.
    static Exchange Run(const std::shared_ptr<Worker>& worker, Message message,
                        HINTERNET first = nullptr) {
        worker->Adopt(first);
        RequestThreads::Post([worker, message = std::move(message), first]() mutable {
            worker->Work(std::move(message), first);
        });
        std::vector<HINTERNET> open;
        {
            std::unique_lock lock(worker->mutex_);
            if (worker->finished_.wait_for(lock, HeaderDeadline(worker->options_),
                                           [&] { return worker->done_; })) {
                RequestResponse::Set(worker->response_text_);
                if (worker->result_.request == nullptr)
                    SetLastError(worker->error_);
                return worker->result_;
            }
            worker->abandoned_ = true;
            open.swap(worker->open_);
        }
        RequestResponse::Set(std::string());
        for (HINTERNET h : open)
            InternetCloseHandle(h);
        SetLastError(kInetErrorTimeout);
        return {};
    }

  private:
    // h when the caller still waits; otherwise h is closed and null returned.
    HINTERNET Adopt(HINTERNET h) {
        if (h == nullptr)
            return nullptr;
        std::unique_lock lock(mutex_);
        if (abandoned_) {
            lock.unlock();
            InternetCloseHandle(h);
            return nullptr;
        }
        open_.push_back(h);
        return h;
    }

    // Closes h unless the caller, giving up, already did.
    void Close(HINTERNET h) {
        if (h == nullptr)
            return;
        {
            std::lock_guard lock(mutex_);
            const auto at = std::find(open_.begin(), open_.end(), h);
            if (at == open_.end())
                return;
            open_.erase(at);
        }
        InternetCloseHandle(h);
    }

    void Close(const Exchange& e) {
        Close(e.request);
        Close(e.connection);
    }

    // Opens a request for message on a connection of its own; null handles on failure.
    Exchange Open(const Message& message, DWORD& error) {
        Address address;
        if (!CrackHttpUrl(message.url, address, error))
            return {};
        Exchange e;
        e.connection = Adopt(InternetConnectW(
            session_, address.host.c_str(), address.port,
            address.user.empty() ? nullptr : address.user.c_str(),
            address.user.empty() ? nullptr : address.password.c_str(), INTERNET_SERVICE_HTTP,
            message.flags & INTERNET_FLAG_EXISTING_CONNECT, 0));
        if (e.connection != nullptr)
            e.request = Adopt(HttpOpenRequestW(
                e.connection, message.method.c_str(), address.path.c_str(), nullptr, nullptr,
                nullptr,
                message.flags |
                    (address.scheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0),
                0));
        if (e.request == nullptr) {
            error = GetLastError();
            Close(e);
            return {};
        }
        return e;
    }

    // Sends message on request; false with error set.
    bool Send(HINTERNET request, Message& message, DWORD& error) {
        // The options go on the request before it is sent: Wine takes a request's time-outs
        // only then, and ignores those of a session.
        ApplyOptions(request, options_);
        if (HttpSendRequestW(request, HeadersOrNull(message.headers),
                             HeadersLength(message.headers),
                             message.body.empty() ? nullptr : message.body.data(),
                             static_cast<DWORD>(message.body.size())))
            return true;
        error = GetLastError();
        if (error == kInetErrorExtended)
            response_text_ = ThreadResponseText();
        return false;
    }

    // Follows the redirections of response (which answered message), at most
    // kMaxRedirects of them and only to HTTP or HTTPS. WinInet's own following is switched
    // off (INTERNET_FLAG_NO_AUTO_REDIRECT): Wine's has no limit, and it re-sends
    // credentials to whatever host a redirection names. As libcurl does, credentials are
    // dropped once a redirection leaves the scheme, host and port they were given for; a
    // POST stays a POST on 307 and 308 and becomes a GET otherwise.
    Exchange Follow(Exchange current, Message message, DWORD& error) {
        Address origin;
        CrackHttpUrl(message.url, origin, error);
        for (int hops = 0;; ++hops) {
            const DWORD status = QueryNumber(current.request, HTTP_QUERY_STATUS_CODE);
            if (!IsRedirect(status))
                return current;
            const std::wstring location = QueryText(current.request, HTTP_QUERY_LOCATION);
            if (location.empty())
                return current;
            Close(current);
            message.url = CombineUrl(message.url, location);
            Address next;
            if (hops == kMaxRedirects || !IsHttpUrl(message.url) ||
                !CrackHttpUrl(message.url, next, error)) {
                error = kInetErrorRedirectFailed;
                return {};
            }
            if (!next.SameOrigin(origin))
                message.headers = WithoutAuthorization(message.headers);
            if (status != 307 && status != 308 && message.method != L"GET") {
                message.method = L"GET";
                message.body.clear();
            }
            current = Open(message, error);
            if (current.request == nullptr)
                return {};
            if (!Send(current.request, message, error)) {
                Close(current);
                return {};
            }
        }
    }

    void Work(Message message, HINTERNET first) {
        DWORD error = 0;
        Exchange response;
        Exchange sent = first != nullptr ? Exchange{nullptr, first} : Open(message, error);
        if (sent.request != nullptr) {
            if (Send(sent.request, message, error))
                response = Follow(sent, std::move(message), error);
            else
                Close(sent);
        }
        std::lock_guard lock(mutex_);
        if (abandoned_)
            return;     // the caller closed what was open
        open_.clear();  // the caller owns the response now
        result_ = response;
        error_ = error;
        done_ = true;
        finished_.notify_all();
    }

    const HINTERNET session_;
    const SessionOptions options_;
    SlimMutex mutex_;
    SlimCondition finished_;
    std::vector<HINTERNET> open_;
    bool done_ = false;
    bool abandoned_ = false;
    Exchange result_;
    DWORD error_ = 0;
    std::string response_text_;
};

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
    // connection: what was opened for this request alone, closed after it.
    explicit WinInetRequest(HINTERNET h, HINTERNET connection = nullptr)
        : connection_(connection), h_(h) {}
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
    Handle connection_;
    Handle h_;
    std::optional<std::int64_t> length_;
    std::int64_t received_ = 0;
};

class WinInetFtp final : public FtpConnection {
  public:
    explicit WinInetFtp(HINTERNET h) : h_(h) {}
    bool SetCurrentDirectory(const std::string& directory) override {
        RequestResponse::Set(std::nullopt);
        return FtpSetCurrentDirectoryW(h_.get(), W(directory).c_str()) != FALSE;
    }
    std::optional<std::int64_t> FindFileSize(const std::string& name) override {
        RequestResponse::Set(std::nullopt);
        WIN32_FIND_DATAW data{};
        HINTERNET find =
            FtpFindFirstFileW(h_.get(), W(name).c_str(), &data, INTERNET_FLAG_RELOAD, 0);
        if (find == nullptr)
            return std::nullopt;
        InternetCloseHandle(find);
        return (static_cast<std::int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    std::unique_ptr<InternetRequest> OpenFile(const std::string& name) override {
        RequestResponse::Set(std::nullopt);
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
    // h: the request opened for the post, handed to the worker that sends it; session: the
    // Internet session the connection belongs to; url: the post's address.
    WinInetPost(HINTERNET h, HINTERNET session, SessionOptions options, std::wstring url)
        : h_(h), session_(session), options_(std::move(options)), url_(std::move(url)) {}
    ~WinInetPost() override {
        if (h_ != nullptr)
            InternetCloseHandle(h_);
    }
    WinInetPost(const WinInetPost&) = delete;
    WinInetPost& operator=(const WinInetPost&) = delete;

    bool Send(const std::string& headers, const std::string& body) override {
        if (h_ == nullptr) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        Message message{L"POST", url_, W(headers), body,
                        kPostFlags | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE};
        HINTERNET first = std::exchange(h_, nullptr);
        const Exchange last =
            Worker::Run(std::make_shared<Worker>(session_, options_), std::move(message), first);
        if (last.request == nullptr)
            return false;
        connection_.reset(last.connection);
        request_.reset(last.request);
        return true;
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        if (request_.get() == nullptr)
            return 0;
        return ReadBlock(request_.get(), buffer, size);
    }

  private:
    HINTERNET h_;  // until sent
    HINTERNET session_;
    SessionOptions options_;
    std::wstring url_;
    Handle connection_;
    Handle request_;
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
        Message message{L"GET", W(url), W(headers), {}, f};
        const Exchange e =
            Worker::Run(std::make_shared<Worker>(h_.get(), options_), std::move(message));
        if (e.request == nullptr)
            return nullptr;
        return std::make_unique<WinInetRequest>(e.request, e.connection);
    }
    std::unique_ptr<FtpConnection> ConnectFtp(const std::string& host, std::uint16_t port,
                                              const std::string& user, const std::string& password,
                                              bool passive) override {
        RequestResponse::Set(std::nullopt);
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
        const std::optional<std::string> text = RequestResponse::Current();
        return text ? *text : ThreadResponseText();
    }
};

}  // namespace

InternetPlatform& SystemInternet() {
    static WinInetPlatform platform;
    return platform;
}

}  // namespace kelvra::update
