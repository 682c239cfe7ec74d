// The Internet session port on Windows: WinInet.
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "update/internet_session.h"

namespace kelvra::update {
namespace {

std::wstring W(const std::string& s) {
    const std::u16string u = text::Utf8ToUtf16(s);
    return std::wstring(u.begin(), u.end());
}

std::string U(const wchar_t* s, std::size_t n) {
    return text::Utf16ToUtf8(std::u16string(s, s + n));
}

class Handle {
  public:
    explicit Handle(HINTERNET h = nullptr) : h_(h) {}
    ~Handle() {
        if (h_ != nullptr)
            InternetCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return h_; }

  private:
    HINTERNET h_;
};

// One InternetReadFile: the bytes read (0 at the end), nullopt on failure.
std::optional<std::size_t> ReadBlock(HINTERNET h, char* buffer, std::size_t size) {
    DWORD read = 0;
    if (!InternetReadFile(h, buffer, static_cast<DWORD>(size), &read))
        return std::nullopt;
    return static_cast<std::size_t>(read);
}

class WinInetRequest final : public InternetRequest {
  public:
    explicit WinInetRequest(HINTERNET h) : h_(h) {}
    int StatusCode() override {
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (!HttpQueryInfoW(h_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &size, nullptr))
            return 0;
        return static_cast<int>(status);
    }
    std::int64_t ContentLength() override {
        DWORD length = 0;
        DWORD size = sizeof(length);
        if (!HttpQueryInfoW(h_.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                            &size, nullptr))
            return 0;
        return static_cast<std::int64_t>(length);
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        return ReadBlock(h_.get(), buffer, size);
    }

  private:
    Handle h_;
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

class WinInetPost final : public HttpPostRequest {
  public:
    explicit WinInetPost(HINTERNET h) : h_(h) {}
    bool Send(const std::string& headers, const std::string& body) override {
        const std::wstring wheaders = W(headers);
        std::string data = body;  // HttpSendRequest takes a non-const buffer
        return HttpSendRequestW(h_.get(), wheaders.empty() ? nullptr : wheaders.c_str(),
                                wheaders.empty() ? 0 : static_cast<DWORD>(-1),
                                data.empty() ? nullptr : data.data(),
                                static_cast<DWORD>(data.size())) != FALSE;
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
        return ReadBlock(h_.get(), buffer, size);
    }

  private:
    Handle h_;
};

class WinInetHttp final : public HttpConnection {
  public:
    explicit WinInetHttp(HINTERNET h) : h_(h) {}
    std::unique_ptr<HttpPostRequest> OpenPost(const std::string& path) override {
        HINTERNET request = HttpOpenRequestW(
            h_.get(), L"POST", W(path).c_str(), nullptr, nullptr, nullptr,
            INTERNET_FLAG_IGNORE_CERT_DATE_INVALID | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS,
            0);
        if (request == nullptr)
            return nullptr;
        return std::make_unique<WinInetPost>(request);
    }

  private:
    Handle h_;
};

class WinInetSession final : public InternetSession {
  public:
    explicit WinInetSession(HINTERNET h) : h_(h) {}
    void SetConnectTimeout(int ms) override { SetDword(INTERNET_OPTION_CONNECT_TIMEOUT, ms); }
    void SetReceiveTimeout(int ms) override { SetDword(INTERNET_OPTION_RECEIVE_TIMEOUT, ms); }
    void IgnoreCertificateErrors() override {
        SetDword(INTERNET_OPTION_SECURITY_FLAGS, SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                                                     SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                                     SECURITY_FLAG_IGNORE_UNKNOWN_CA);
    }
    std::unique_ptr<InternetRequest> OpenUrl(const std::string& url, const std::string& headers,
                                             const RequestFlags& flags) override {
        DWORD f =
            INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
        if (flags.keep_connection)
            f |= INTERNET_FLAG_KEEP_CONNECTION;
        if (flags.existing_connect)
            f |= INTERNET_FLAG_EXISTING_CONNECT;
        if (flags.ignore_cert_date)
            f |= INTERNET_FLAG_IGNORE_CERT_DATE_INVALID;
        if (flags.ignore_cert_name)
            f |= INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
        const std::wstring wheaders = W(headers);
        HINTERNET request = InternetOpenUrlW(h_.get(), W(url).c_str(),
                                             wheaders.empty() ? nullptr : wheaders.c_str(),
                                             wheaders.empty() ? 0 : static_cast<DWORD>(-1), f, 0);
        if (request == nullptr)
            return nullptr;
        return std::make_unique<WinInetRequest>(request);
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
        return std::make_unique<WinInetHttp>(connection);
    }

  private:
    void SetDword(DWORD option, int value) {
        DWORD v = static_cast<DWORD>(value);
        InternetSetOptionW(h_.get(), option, &v, sizeof(v));
    }
    Handle h_;
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
        const std::wstring wproxy = W(proxy);
        HINTERNET h =
            InternetOpenW(W(agent).c_str(),
                          proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                          proxy.empty() ? nullptr : wproxy.c_str(), nullptr, 0);
        if (h == nullptr)
            return nullptr;
        return std::make_unique<WinInetSession>(h);
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
