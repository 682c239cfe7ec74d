// A lean HTTP server on 127.0.0.1 for the benchmarks: files by path (or one file for every
// path), one response per connection, served from a thread. It reads a request in whole blocks and
// answers with one send, so that its own cost stays small next to the two clients being compared.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>

namespace kelvra::bench {

class BenchHttpServer {
  public:
    // Serves body for every path.
    explicit BenchHttpServer(std::string body);
    // Serves each file at its path ("/folder/name"), 404 for any other; port 0 picks one.
    explicit BenchHttpServer(const std::map<std::string, std::string>& files, int port = 0);
    ~BenchHttpServer();
    BenchHttpServer(const BenchHttpServer&) = delete;
    BenchHttpServer& operator=(const BenchHttpServer&) = delete;

    // False when no listening socket could be set up.
    bool ok() const { return port_ != 0; }
    std::string Url(const std::string& path) const;

  private:
    void Start(int port);
    void Run();

    std::map<std::string, std::string> responses_;  // by path; "" answers every path
    std::intptr_t listener_ = -1;
    int port_ = 0;
    bool winsock_started_ = false;  // Windows only
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace kelvra::bench
