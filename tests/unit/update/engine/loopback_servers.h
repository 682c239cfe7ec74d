// Loopback fixture servers for the update engine's tests: a small HTTP server (a thread per
// connection) and a small FTP server (one connection at a time) on 127.0.0.1, each on a
// free port.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kelvra::test {

struct HttpResponse {
    int status = 200;
    std::string body;
    // Content-Length sent instead of the body's size (a body larger than announced).
    std::optional<std::size_t> announced_length;
    bool send_length = true;
    // Sends the headers, then nothing until the server stops.
    bool stall_after_headers = false;
    // When set, a request without exactly this Authorization value gets 401.
    std::string required_authorization;
    // Raw header lines ("Name: value\r\n" each) sent after the usual ones.
    std::string extra_headers;
    // When set, the response goes out one byte per interval, from the status line on.
    std::chrono::milliseconds trickle{0};
};

inline HttpResponse Reply(int status, std::string body) {
    HttpResponse r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

struct HttpRequestSeen {
    std::string method;
    std::string path;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string body;                            // as announced by Content-Length
};

class LoopbackHttpServer {
  public:
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& path) const;
    void Serve(const std::string& path, HttpResponse response);
    std::vector<HttpRequestSeen> Requests();

  private:
    void Run();
    void Handle(std::intptr_t client);

    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable stopped_;
    std::map<std::string, HttpResponse> routes_;
    std::vector<HttpRequestSeen> requests_;
    std::thread thread_;
};

// A minimal FTP server (USER, PASS, PWD, CWD, TYPE, PASV, EPSV, SIZE, LIST, NLST, RETR,
// QUIT) over files held in memory.
class LoopbackFtpServer {
  public:
    LoopbackFtpServer();
    ~LoopbackFtpServer();
    LoopbackFtpServer(const LoopbackFtpServer&) = delete;
    LoopbackFtpServer& operator=(const LoopbackFtpServer&) = delete;

    int port() const { return port_; }
    // path: "dir/name" or "name".
    void Serve(const std::string& path, std::string contents);
    std::vector<std::string> Commands();

  private:
    void Run();
    void Handle(std::intptr_t client);

    std::intptr_t listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::map<std::string, std::string> files_;
    std::vector<std::string> commands_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
int RefusedPort();

}  // namespace kelvra::test
