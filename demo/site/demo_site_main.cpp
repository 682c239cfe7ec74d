// The demo platform server: the pages of pages.h and the update control file, on
// 127.0.0.1 only. Every request is appended to the request log, so that tests can see
// what the client fetched.
//
//   kelvra-demo-site [--port N] [--port-file FILE] [--log FILE] [--update newer|current]
//
// Port 0 (the default) takes a free port; the chosen port is printed and written to the
// port file. GET /demo/update?offer=newer|current switches the update offer at run time.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "pages.h"

namespace {

using kelvra::demo::ExpiringFramePage;
using kelvra::demo::ExpiringPage;
using kelvra::demo::FrameInnerPage;
using kelvra::demo::FramesPage;
using kelvra::demo::HomePage;
using kelvra::demo::LessonPage;
using kelvra::demo::LoginPage;
using kelvra::demo::UpdateControlFile;

constexpr const char* kHtml = "text/html; charset=utf-8";

struct Sessions {
    std::mutex lock;
    std::map<std::string, std::string> users;  // session id -> user

    std::string Open(const std::string& user) {
        static std::mt19937_64 rng{std::random_device{}()};
        std::lock_guard<std::mutex> g(lock);
        const std::string id = std::to_string(rng());
        users[id] = user;
        return id;
    }
    std::string UserOf(const httplib::Request& req) {
        const std::string cookie = req.get_header_value("Cookie");
        const auto at = cookie.find("kelvra_session=");
        if (at == std::string::npos)
            return "";
        const auto start = at + 15;
        const std::string id = cookie.substr(start, cookie.find(';', start) - start);
        std::lock_guard<std::mutex> g(lock);
        auto it = users.find(id);
        return it == users.end() ? "" : it->second;
    }
    void Close(const httplib::Request& req) {
        const std::string cookie = req.get_header_value("Cookie");
        std::lock_guard<std::mutex> g(lock);
        for (auto it = users.begin(); it != users.end();) {
            if (cookie.find("kelvra_session=" + it->first) != std::string::npos)
                it = users.erase(it);
            else
                ++it;
        }
    }
};

int Usage() {
    std::fprintf(stderr,
                 "usage: kelvra-demo-site [--port N] [--port-file FILE] [--log FILE] "
                 "[--update newer|current]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    std::string port_file;
    std::string log_file;
    std::atomic<bool> newer{false};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--port") {
            port = std::atoi(value.c_str());
        } else if (arg == "--port-file") {
            port_file = value;
        } else if (arg == "--log") {
            log_file = value;
        } else if (arg == "--update" && (value == "newer" || value == "current")) {
            newer = value == "newer";
        } else {
            return Usage();
        }
    }

    httplib::Server server;
    Sessions sessions;
    std::atomic<bool> armed{false};
    std::mutex log_lock;
    std::ofstream log;
    if (!log_file.empty()) {
        log.open(log_file, std::ios::app);
        if (!log) {
            std::fprintf(stderr, "cannot open the request log %s\n", log_file.c_str());
            return 1;
        }
    }
    server.set_logger([&](const httplib::Request& req, const httplib::Response& res) {
        if (!log.is_open())
            return;
        std::lock_guard<std::mutex> g(log_lock);
        log << req.method << ' ' << req.target << ' ' << res.status << std::endl;
    });

    server.Get("/site/login", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(LoginPage(req.has_param("expired"), ""), kHtml);
    });
    server.Post("/site/login", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string user = req.get_param_value("user");
        if (user.empty()) {
            res.set_content(LoginPage(false, "(empty)"), kHtml);
            return;
        }
        res.set_header("Set-Cookie", "kelvra_session=" + sessions.Open(user) + "; Path=/");
        res.set_redirect("/home/techer/default");
    });
    server.Get("/site/logout", [&](const httplib::Request& req, httplib::Response& res) {
        sessions.Close(req);
        res.set_header("Set-Cookie", "kelvra_session=; Path=/; Max-Age=0");
        res.set_redirect("/site/login");
    });
    // Ends the session on the server only, as a time-out would.
    server.Get("/site/expire", [&](const httplib::Request& req, httplib::Response& res) {
        sessions.Close(req);
        res.set_redirect("/home/techer/default");
    });
    server.Get("/home/techer/default", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string user = sessions.UserOf(req);
        if (user.empty()) {
            res.set_redirect("/site/login?expired=1");
            return;
        }
        res.set_content(HomePage(user), kHtml);
    });
    server.Get("/home/techer/frames", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(FramesPage(), kHtml);
    });
    server.Get(R"(/home/techer/frame/(\d+))",
               [&](const httplib::Request& req, httplib::Response& res) {
                   res.set_content(FrameInnerPage(std::atoi(req.matches[1].str().c_str())), kHtml);
               });
    server.Get("/home/techer/expiring", [&](const httplib::Request& req, httplib::Response& res) {
        std::vector<int> after;
        std::stringstream list(req.get_param_value("after"));
        for (std::string item; std::getline(list, item, ',');)
            after.push_back(std::atoi(item.c_str()));
        res.set_content(ExpiringPage(after), kHtml);
    });
    server.Get("/home/techer/expire-frame", [&](const httplib::Request& req,
                                                httplib::Response& res) {
        res.set_content(ExpiringFramePage(std::atoi(req.get_param_value("after").c_str())), kHtml);
    });
    server.Get("/demo/arm", [&](const httplib::Request&, httplib::Response& res) {
        armed = true;
        res.status = 204;
    });
    server.Get("/demo/armed", [&](const httplib::Request&, httplib::Response& res) {
        res.status = armed ? 200 : 204;
    });
    server.Get(R"(/lesson/(\d+))", [&](const httplib::Request& req, httplib::Response& res) {
        res.set_content(LessonPage(std::atoi(req.matches[1].str().c_str())), kHtml);
    });
    server.Get("/demo/slow.gif", [&](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        static const char kGif[] =
            "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01"
            "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;";
        res.set_content(std::string(kGif, sizeof kGif - 1), "image/gif");
    });
    server.Get("/demo/loaded",
               [&](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.Get("/demo/result", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content("logged", "text/plain");
    });
    server.Get("/kelvraeduclient/update.inf", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(UpdateControlFile(newer), "text/plain; charset=utf-8");
    });
    server.Get("/demo/update", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string offer = req.get_param_value("offer");
        if (offer != "newer" && offer != "current") {
            res.status = 400;
            res.set_content("offer must be newer or current\n", "text/plain");
            return;
        }
        newer = offer == "newer";
        res.set_content("update offer: " + offer + "\n", "text/plain");
    });

    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        port = -1;
    }
    if (port <= 0) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1\n");
        return 1;
    }
    if (!port_file.empty()) {
        const std::string tmp = port_file + ".tmp";
        std::ofstream(tmp) << port << '\n';
        std::rename(tmp.c_str(), port_file.c_str());
    }
    std::printf("demo platform on http://127.0.0.1:%d/site/login\n", port);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
