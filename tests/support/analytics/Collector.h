#pragma once
// A test collector on 127.0.0.1: accepts connections, records every raw
// request it reads and answers each as the test's reply rule says.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testcollector {

struct Request {
    std::string raw;     // the whole request as received
    std::string method;  // "GET" / "POST"
    std::string target;  // path and query
    std::string body;
    int connection = 0;  // 1-based number of the connection it came on
};

struct Reply {
    std::string bytes;        // written as is; empty: no answer
    bool closeAfter = false;  // close the connection at once after writing
    bool endAfter = false;    // stop writing (FIN), keep reading until the peer closes
};

// The reply to the n-th request (0-based, over the collector's life) that
// arrived as the k-th request (0-based) of its connection.
using ReplyRule = std::function<Reply(const Request& request, int n, int k)>;

Reply ok(const std::string& version = "HTTP/1.1");
Reply status(int code, const std::string& reason);

class Collector {
public:
    explicit Collector(ReplyRule rule = nullptr);
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    int port() const { return port_; }
    void setRule(ReplyRule rule);
    // Waits (real time) until the collector stops reading from the socket.
    void setReading(bool reading);

    std::vector<Request> requests() const;
    size_t requestCount() const;
    int connections() const;
    // The raw bytes as they came on each connection, in order.
    std::vector<std::string> connectionBytes() const;

private:
    void loop();
    int listenFd_ = -1;
    int stopFd_ = -1;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    ReplyRule rule_;
    std::vector<Request> requests_;
    std::vector<std::string> connectionBytes_;
    int connections_ = 0;
    std::atomic<bool> reading_{true};
};

}  // namespace testcollector
