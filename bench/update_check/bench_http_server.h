// A lean HTTP server on 127.0.0.1 for the benchmark: one file, one response per connection,
// served from a thread. It reads a request in whole blocks and answers with one send, so
// that its own cost stays small next to the two clients being compared.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace kelvra::bench {

class BenchHttpServer {
  public:
    explicit BenchHttpServer(std::string body);
    ~BenchHttpServer();
    BenchHttpServer(const BenchHttpServer&) = delete;
    BenchHttpServer& operator=(const BenchHttpServer&) = delete;

    // False when no listening socket could be set up.
    bool ok() const { return port_ != 0; }
    std::string Url(const std::string& path) const;

  private:
    void Run();

    std::string response_;
    std::intptr_t listener_ = -1;
    int port_ = 0;
    bool winsock_started_ = false;  // Windows only
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace kelvra::bench
