// The Internet session port of the update engine: sessions, HTTP requests, FTP connections,
// the connected-state query and dial-up (Win32: WinInet; Linux: libcurl and GNetworkMonitor).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kelvra::update {

// WinInet's error codes; the Linux backend reports its failures with the same numbers.
inline constexpr std::uint32_t kInetErrorTimeout = 12002;
inline constexpr std::uint32_t kInetErrorExtended = 12003;
inline constexpr std::uint32_t kInetErrorInternal = 12004;
inline constexpr std::uint32_t kInetErrorNameNotResolved = 12007;
inline constexpr std::uint32_t kInetErrorCannotConnect = 12029;
inline constexpr std::uint32_t kInetErrorConnectionReset = 12031;
inline constexpr std::uint32_t kInetErrorUnrecognizedScheme = 12006;
inline constexpr std::uint32_t kInetErrorInvalidCertificate = 12045;
inline constexpr std::uint32_t kInetErrorRedirectFailed = 12156;

// Redirections an HTTP request follows before it fails with kInetErrorRedirectFailed.
inline constexpr int kMaxRedirects = 20;
// The bounds used when the engine sets no time-out of its own.
inline constexpr int kDefaultConnectTimeoutMs = 60000;
inline constexpr int kDefaultReceiveTimeoutMs = 30000;

// The request flags of an HTTP fetch.
struct RequestFlags {
    bool keep_connection = false;   // keep the connection for authentication
    bool existing_connect = false;  // reuse an existing connection
    bool ignore_cert_date = false;  // accept an expired certificate
    bool ignore_cert_name = false;  // accept a certificate for another host name
};

// An open request (HTTP response or FTP file) whose body is read in blocks.
class InternetRequest {
  public:
    virtual ~InternetRequest() = default;
    // The numeric HTTP status; 0 when there is none (FTP).
    virtual int StatusCode() = 0;
    // The Content-Length header as a number; 0 when absent or not a number.
    virtual std::int64_t ContentLength() = 0;
    // Reads up to size bytes; 0 at the end; nullopt on a failed read (the receive
    // time-out, or a connection that closed before the announced length, included), with
    // the platform's last error set.
    virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

// A connection to an FTP host.
class FtpConnection {
  public:
    virtual ~FtpConnection() = default;
    virtual bool SetCurrentDirectory(const std::string& directory) = 0;
    // The size of the first entry matching name; nullopt when there is none.
    virtual std::optional<std::int64_t> FindFileSize(const std::string& name) = 0;
    // Opens name for binary reading; null on failure, with the last error set.
    virtual std::unique_ptr<InternetRequest> OpenFile(const std::string& name) = 0;
};

// A POST request opened on an HTTP connection.
class HttpPostRequest {
  public:
    virtual ~HttpPostRequest() = default;
    // Sends the request with headers (lines ended by CR LF) and body (8-bit). False when it
    // could not be sent (the server could not be reached), with the last error set.
    virtual bool Send(const std::string& headers, const std::string& body) = 0;
    // Reads up to size bytes of the answer; 0 at the end; nullopt on a failed read.
    virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

// An HTTP service on one host and port.
class HttpConnection {
  public:
    virtual ~HttpConnection() = default;
    // Opens a "POST" request for path (default HTTP version, no referrer, no accept types)
    // that accepts an invalid certificate date or name and a redirect to HTTPS. It keeps
    // the session's time-outs and redirection limit, as a GET does. Null on failure, with
    // the last error set.
    virtual std::unique_ptr<HttpPostRequest> OpenPost(const std::string& path) = 0;
};

// An open Internet session.
class InternetSession {
  public:
    virtual ~InternetSession() = default;
    virtual void SetConnectTimeout(int milliseconds) = 0;
    virtual void SetReceiveTimeout(int milliseconds) = 0;
    // Accept an invalid certificate date, name or an unknown certificate authority.
    virtual void IgnoreCertificateErrors() = 0;
    // An HTTP GET that always comes fresh from the server (no cache read or write, a
    // no-cache pragma) and follows up to kMaxRedirects redirections to HTTP or HTTPS.
    // headers: extra request header lines, each ended by CR LF. Returns once the response
    // headers are in, which must be within the connect and receive time-outs together;
    // null when the request could not be made (the platform's last error says why).
    virtual std::unique_ptr<InternetRequest> OpenUrl(const std::string& url,
                                                     const std::string& headers,
                                                     const RequestFlags& flags) = 0;
    // Connects to an FTP host; user and password empty mean anonymous. Null on failure.
    virtual std::unique_ptr<FtpConnection> ConnectFtp(const std::string& host, std::uint16_t port,
                                                      const std::string& user,
                                                      const std::string& password,
                                                      bool passive) = 0;
    // An HTTP service on host:port; nothing is sent until a request is. Null on failure.
    virtual std::unique_ptr<HttpConnection> ConnectHttp(const std::string& host,
                                                        std::uint16_t port) = 0;
};

// The platform's Internet library.
class InternetPlatform {
  public:
    virtual ~InternetPlatform() = default;
    // The connection flags when the machine is online; nullopt when the query reports
    // offline or the library or function is missing.
    virtual std::optional<std::uint32_t> ConnectedState() = 0;
    // Dials the default connection (unattended, or letting the platform prompt).
    virtual bool Autodial(bool unattended) = 0;
    virtual void HangUp() = 0;
    // Opens a session with agent as the user agent; an empty proxy uses the system's
    // configuration. Null on failure.
    virtual std::unique_ptr<InternetSession> Open(const std::string& agent,
                                                  const std::string& proxy) = 0;
    // The calling thread's last error of this library; 0 for none.
    virtual std::uint32_t LastError() = 0;
    // The library's message text for code ("" when it has none).
    virtual std::string ErrorText(std::uint32_t code) = 0;
    // The server's last response text, for kInetErrorExtended.
    virtual std::string LastResponseText() = 0;
};

InternetPlatform& SystemInternet();

}  // namespace kelvra::update
