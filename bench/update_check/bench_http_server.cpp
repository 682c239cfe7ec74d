#include "bench_http_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kelvra::bench {
namespace {

using Socket = std::intptr_t;

#ifdef _WIN32
void CloseSocket(Socket s) {
    closesocket(static_cast<SOCKET>(s));
}
constexpr int kSendFlags = 0;
#else
void CloseSocket(Socket s) {
    close(static_cast<int>(s));
}
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

// Reads until the blank line that ends the request headers (the benchmarks send GETs only);
// returns the request's path, empty when the request was cut short.
std::string ReadRequest(Socket s) {
    std::string seen;
    char block[4096];
    while (seen.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(s, block, sizeof block, 0);
        if (n <= 0)
            return {};
        seen.append(block, static_cast<std::size_t>(n));
    }
    const std::size_t start = seen.find(' ');
    const std::size_t end = seen.find(' ', start + 1);
    if (start == std::string::npos || end == std::string::npos)
        return {};
    return seen.substr(start + 1, end - start - 1);
}

std::string Response(const std::string& status, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void SendAll(Socket s, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int n = send(s, data.data() + sent, static_cast<int>(data.size() - sent), kSendFlags);
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

}  // namespace

BenchHttpServer::BenchHttpServer(std::string body) {
    responses_[""] = Response("200 OK", body);
    Start(0);
}

BenchHttpServer::BenchHttpServer(const std::map<std::string, std::string>& files, int port) {
    for (const auto& [path, body] : files)
        responses_[path] = Response("200 OK", body);
    Start(port);
}

void BenchHttpServer::Start(int port) {
#ifdef _WIN32
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return;
    winsock_started_ = true;
#endif
    const Socket s = static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t len = sizeof(addr);
    if (s < 0 || bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(s, 16) != 0 || getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (s >= 0)
            CloseSocket(s);
        return;
    }
    listener_ = s;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { Run(); });
}

BenchHttpServer::~BenchHttpServer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        CloseSocket(listener_);
#ifdef _WIN32
    if (winsock_started_)
        WSACleanup();
#endif
}

std::string BenchHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void BenchHttpServer::Run() {
    while (!stop_) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(listener_, &set);
        timeval tv{0, 50000};  // looks at stop_ every 50 ms while idle
        if (select(static_cast<int>(listener_ + 1), &set, nullptr, nullptr, &tv) <= 0)
            continue;
        const Socket client = static_cast<Socket>(accept(listener_, nullptr, nullptr));
        if (client < 0)
            continue;
        const std::string path = ReadRequest(client);
        if (!path.empty()) {
            auto found = responses_.find(path);
            if (found == responses_.end())
                found = responses_.find("");
            SendAll(client, found != responses_.end() ? found->second
                                                      : Response("404 Not Found", "not found"));
        }
        CloseSocket(client);
    }
}

}  // namespace kelvra::bench
