#pragma once
// A scripted HTTP server on 127.0.0.1 for tests: each path has a handler that
// sees the parsed request and answers with a list of actions (send bytes,
// wait, close, reset, stay silent). A connection that is not closed by its
// actions stays open for the next request.

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/net/HttpMessage.h"

namespace testnet {

struct ServerRequest {
    std::string method;
    std::string target;  // as on the request line
    std::string path;    // target without the query (and without scheme and authority)
    std::string version;
    net::HeaderFields headers;
    std::string body;
    std::string rawHead;
    int connection = 0;         // 1 for the first connection accepted
    int indexOnConnection = 0;  // 1 for the first request on its connection
};

struct Action {
    enum class Kind { Send, Delay, Close, Reset, Silence } kind;
    std::string bytes;
    int milliseconds = 0;
};

Action send(std::string bytes);
Action delay(int milliseconds);
Action closeConnection();
Action resetConnection();
// Answers nothing more and keeps the connection open until the client closes
// it or the server stops.
Action silence();

// A complete response with Content-Length (unless `headers` names
// Transfer-Encoding), e.g. response(200, {{"Connection", "close"}}, "hi").
std::string response(int status, const std::vector<std::pair<std::string, std::string>>& headers,
                     const std::string& body, const std::string& version = "HTTP/1.1");
// The body in chunked coding, in pieces of at most `pieceSize` bytes.
std::string chunked(const std::string& body, size_t pieceSize);
std::string gzip(const std::string& data);

class LoopbackHttpServer {
public:
    using Handler = std::function<std::vector<Action>(const ServerRequest&)>;

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& pathAndQuery) const;
    void on(const std::string& path, Handler handler);
    // Whether requests() keeps every request (on by default; long benches
    // turn it off so the log does not grow).
    void setRecordRequests(bool on) { record_ = on; }

    int connectionCount() const { return connections_.load(); }
    int requestCount() const;
    // Connections that are over (closed by either side).
    int finishedConnectionCount() const { return finished_.load(); }
    std::vector<ServerRequest> requests() const;
    // Waits (real time, for tests on real sockets) until the count is reached.
    bool waitForFinishedConnections(int count, double seconds = 5) const;
    void stop();

private:
    void acceptLoop();
    void serve(int fd, int ordinal);
    bool readRequest(int fd, std::string& buffer, ServerRequest& out);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<int> finished_{0};
    std::atomic<int> requestCount_{0};
    std::atomic<bool> record_{true};
    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::map<std::string, Handler> handlers_;
    std::vector<ServerRequest> requests_;
    std::vector<int> openFds_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

}  // namespace testnet
