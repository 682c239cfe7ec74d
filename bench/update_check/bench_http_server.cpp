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

// Reads until the blank line that ends the request headers (the benchmark sends GETs only).
bool ReadRequest(Socket s) {
    std::string seen;
    char block[4096];
    while (seen.find("\r\n\r\n") == std::string::npos) {
        const int n = recv(s, block, sizeof block, 0);
        if (n <= 0)
            return false;
        seen.append(block, static_cast<std::size_t>(n));
    }
    return true;
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

BenchHttpServer::BenchHttpServer(std::string body)
    : response_("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body) {
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
        if (ReadRequest(client))
            SendAll(client, response_);
        CloseSocket(client);
    }
}

}  // namespace kelvra::bench
