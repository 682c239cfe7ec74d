#include "loopback_servers.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using socklen_t = int;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kelvra::test {
namespace {

using Socket = std::intptr_t;

#ifdef _WIN32
struct WinsockInit {
    WinsockInit() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};
void CloseSocket(Socket s) {
    closesocket(static_cast<SOCKET>(s));
}
constexpr int kSendFlags = 0;
#else
struct WinsockInit {};
void CloseSocket(Socket s) {
    close(static_cast<int>(s));
}
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

void InitSockets() {
    [[maybe_unused]] static WinsockInit init;
}

// A listening socket on 127.0.0.1 and a free port.
Socket Listen(int& port) {
    InitSockets();
    const Socket s = static_cast<Socket>(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    listen(s, 16);
    socklen_t len = sizeof(addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return s;
}

// Waits up to 50 ms for a connection; -1 when none.
Socket AcceptWithin(Socket listener) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(listener, &set);
    timeval tv{0, 50000};
    if (select(static_cast<int>(listener + 1), &set, nullptr, nullptr, &tv) <= 0)
        return -1;
    return static_cast<Socket>(accept(listener, nullptr, nullptr));
}

bool SendAll(Socket s, const char* data, std::size_t size) {
    while (size > 0) {
        const int n =
            send(s, data, static_cast<int>(std::min<std::size_t>(size, 65536)), kSendFlags);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SendText(Socket s, const std::string& text) {
    return SendAll(s, text.data(), text.size());
}

// Reads one line ending in LF (CR LF stripped); nullopt at the end of the stream.
std::optional<std::string> ReadLine(Socket s) {
    std::string line;
    char c;
    for (;;) {
        const int n = recv(s, &c, 1, 0);
        if (n <= 0)
            return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n')
            break;
        line += c;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 302:
            return "Found";
        case 401:
            return "Unauthorized";
        case 404:
            return "Not Found";
        default:
            return "Status";
    }
}

}  // namespace

int RefusedPort() {
    int port = 0;
    const Socket s = Listen(port);
    CloseSocket(s);
    return port;
}

LoopbackHttpServer::LoopbackHttpServer() {
    listener_ = Listen(port_);
    thread_ = std::thread([this] { Run(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    stopped_.notify_all();
    thread_.join();
    CloseSocket(listener_);
}

std::string LoopbackHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LoopbackHttpServer::Serve(const std::string& path, HttpResponse response) {
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(response);
}

std::vector<HttpRequestSeen> LoopbackHttpServer::Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::Run() {
    // Each connection has its own thread, as on a real server: a client that gave up on a
    // slow answer (one byte a second) does not hold up the next one.
    std::vector<std::thread> connections;
    while (!stop_) {
        const Socket client = AcceptWithin(listener_);
        if (client < 0)
            continue;
        connections.emplace_back([this, client] {
            Handle(client);
            CloseSocket(client);
        });
    }
    for (std::thread& connection : connections)
        connection.join();
}

void LoopbackHttpServer::Handle(Socket client) {
    HttpRequestSeen seen;
    const auto first = ReadLine(client);
    if (!first)
        return;
    const std::size_t a = first->find(' ');
    const std::size_t b = first->find(' ', a + 1);
    seen.method = first->substr(0, a);
    seen.path = first->substr(a + 1, b - a - 1);
    while (auto line = ReadLine(client)) {
        if (line->empty())
            break;
        const std::size_t colon = line->find(':');
        if (colon == std::string::npos)
            continue;
        std::string value = line->substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        seen.headers[Lower(line->substr(0, colon))] = value;
    }
    if (auto length = seen.headers.find("content-length"); length != seen.headers.end()) {
        std::size_t left = std::stoul(length->second);
        char block[4096];
        while (left > 0) {
            const int n = recv(client, block, static_cast<int>(std::min(left, sizeof block)), 0);
            if (n <= 0)
                break;
            seen.body.append(block, static_cast<std::size_t>(n));
            left -= static_cast<std::size_t>(n);
        }
    }
    HttpResponse response;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(seen);
        auto it = routes_.find(seen.path);
        if (it == routes_.end()) {
            response.status = 404;
            response.body = "not found";
        } else {
            response = it->second;
        }
    }
    if (!response.required_authorization.empty() &&
        seen.headers["authorization"] != response.required_authorization) {
        SendText(client,
                 "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"update\"\r\n"
                 "Content-Length: 6\r\nConnection: close\r\n\r\ndenied");
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       Reason(response.status) + "\r\nConnection: close\r\n";
    if (response.send_length)
        head += "Content-Length: " +
                std::to_string(response.announced_length.value_or(response.body.size())) + "\r\n";
    head += response.extra_headers + "\r\n";
    if (response.trickle.count() > 0) {
        const std::string all = head + response.body;
        std::unique_lock lock(mutex_);
        for (std::size_t i = 0; i < all.size() && !stop_; ++i) {
            if (!SendAll(client, &all[i], 1))
                return;
            stopped_.wait_for(lock, response.trickle, [this] { return stop_.load(); });
        }
        return;
    }
    if (!SendText(client, head))
        return;
    if (response.stall_after_headers) {
        std::unique_lock lock(mutex_);
        stopped_.wait_for(lock, std::chrono::seconds(20), [this] { return stop_.load(); });
        return;
    }
    SendText(client, response.body);
}

LoopbackFtpServer::LoopbackFtpServer() {
    listener_ = Listen(port_);
    thread_ = std::thread([this] { Run(); });
}

LoopbackFtpServer::~LoopbackFtpServer() {
    stop_ = true;
    thread_.join();
    CloseSocket(listener_);
}

void LoopbackFtpServer::Serve(const std::string& path, std::string contents) {
    std::lock_guard lock(mutex_);
    files_[path] = std::move(contents);
}

std::vector<std::string> LoopbackFtpServer::Commands() {
    std::lock_guard lock(mutex_);
    return commands_;
}

void LoopbackFtpServer::Run() {
    while (!stop_) {
        const Socket client = AcceptWithin(listener_);
        if (client < 0)
            continue;
        Handle(client);
        CloseSocket(client);
    }
}

void LoopbackFtpServer::Handle(Socket client) {
    std::string cwd;  // "" or "dir/"
    Socket data_listener = -1;
    auto open_data = [&]() -> Socket {
        if (data_listener < 0)
            return -1;
        Socket data = -1;
        for (int i = 0; i < 100 && data < 0; ++i)
            data = AcceptWithin(data_listener);
        CloseSocket(data_listener);
        data_listener = -1;
        return data;
    };
    auto file_for = [&](const std::string& name) -> std::optional<std::string> {
        std::string path = name;
        if (!path.empty() && path[0] == '/')
            path.erase(0, 1);
        else
            path = cwd + path;
        std::lock_guard lock(mutex_);
        auto it = files_.find(path);
        if (it == files_.end())
            return std::nullopt;
        return it->second;
    };
    SendText(client, "220 loopback ftp\r\n");
    while (auto line = ReadLine(client)) {
        const std::size_t space = line->find(' ');
        std::string verb = line->substr(0, space);
        for (char& c : verb)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const std::string arg = space == std::string::npos ? "" : line->substr(space + 1);
        {
            std::lock_guard lock(mutex_);
            commands_.push_back(verb + (arg.empty() ? "" : " " + arg));
        }
        if (verb == "USER") {
            SendText(client, "331 password please\r\n");
        } else if (verb == "PASS") {
            SendText(client, "230 logged in\r\n");
        } else if (verb == "SYST") {
            SendText(client, "215 UNIX Type: L8\r\n");
        } else if (verb == "PWD") {
            SendText(client, "257 \"/" + cwd + "\"\r\n");
        } else if (verb == "CWD") {
            std::string dir = arg;
            while (!dir.empty() && dir.back() == '/')
                dir.pop_back();
            if (!dir.empty() && dir[0] == '/')
                dir.erase(0, 1);
            bool exists = dir.empty();
            {
                std::lock_guard lock(mutex_);
                for (const auto& [path, contents] : files_)
                    if (path.rfind(dir + "/", 0) == 0)
                        exists = true;
            }
            if (exists) {
                cwd = dir.empty() ? "" : dir + "/";
                SendText(client, "250 ok\r\n");
            } else {
                SendText(client, "550 no such directory\r\n");
            }
        } else if (verb == "TYPE" || verb == "MODE" || verb == "STRU" || verb == "NOOP") {
            SendText(client, "200 ok\r\n");
        } else if (verb == "PASV" || verb == "EPSV") {
            int port = 0;
            if (data_listener >= 0)
                CloseSocket(data_listener);
            data_listener = Listen(port);
            if (verb == "EPSV")
                SendText(client, "229 Entering Extended Passive Mode (|||" + std::to_string(port) +
                                     "|)\r\n");
            else
                SendText(client, "227 Entering Passive Mode (127,0,0,1," +
                                     std::to_string(port / 256) + "," + std::to_string(port % 256) +
                                     ")\r\n");
        } else if (verb == "SIZE") {
            if (auto f = file_for(arg))
                SendText(client, "213 " + std::to_string(f->size()) + "\r\n");
            else
                SendText(client, "550 not found\r\n");
        } else if (verb == "REST") {
            SendText(client, arg == "0" ? "350 ok\r\n" : "502 not supported\r\n");
        } else if (verb == "LIST" || verb == "NLST") {
            std::string listing;
            {
                std::lock_guard lock(mutex_);
                for (const auto& [path, contents] : files_) {
                    if (path.rfind(cwd, 0) != 0 || path.find('/', cwd.size()) != std::string::npos)
                        continue;
                    const std::string name = path.substr(cwd.size());
                    if (!arg.empty() && arg[0] != '-' && arg != name)
                        continue;
                    listing += verb == "NLST"
                                   ? name + "\r\n"
                                   : "-rw-r--r-- 1 ftp ftp " + std::to_string(contents.size()) +
                                         " Jan 01 2024 " + name + "\r\n";
                }
            }
            SendText(client, "150 listing\r\n");
            const Socket data = open_data();
            if (data >= 0) {
                SendText(data, listing);
                CloseSocket(data);
            }
            SendText(client, "226 done\r\n");
        } else if (verb == "RETR") {
            const auto f = file_for(arg);
            if (!f) {
                if (data_listener >= 0) {
                    CloseSocket(data_listener);
                    data_listener = -1;
                }
                SendText(client, "550 not found\r\n");
                continue;
            }
            SendText(client, "150 sending " + std::to_string(f->size()) + " bytes\r\n");
            const Socket data = open_data();
            if (data >= 0) {
                SendText(data, *f);
                CloseSocket(data);
            }
            SendText(client, "226 done\r\n");
        } else if (verb == "QUIT") {
            SendText(client, "221 bye\r\n");
            break;
        } else {
            SendText(client, "502 not implemented\r\n");
        }
    }
    if (data_listener >= 0)
        CloseSocket(data_listener);
}

}  // namespace kelvra::test
