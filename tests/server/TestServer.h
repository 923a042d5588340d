#pragma once
// Starts the test security server (security_server.py) on a free port of
// 127.0.0.1 for one test and stops it afterwards, and talks to it with plain
// blocking HTTP over a socket.

#include <sys/types.h>
#include <string>

namespace testserver {

struct HttpReply {
    int status = 0;  // 0 when the connection closed without an answer
    std::string body;
};

// One blocking HTTP/1.1 exchange with "Connection: close" on 127.0.0.1.
// Throws std::runtime_error when no connection can be made.
HttpReply httpRequest(int port, const std::string& method, const std::string& target, const std::string& body = "");
// GET of a full "http://127.0.0.1:<port>/..." address.
HttpReply httpGet(const std::string& url);

class SecurityServer {
public:
    // Starts the server and waits until it listens. Throws std::runtime_error
    // when it cannot be started.
    SecurityServer();
    ~SecurityServer();
    SecurityServer(const SecurityServer&) = delete;
    SecurityServer& operator=(const SecurityServer&) = delete;

    int port() const { return port_; }
    // "http://127.0.0.1:<port>/safeCenter.do?"
    std::string baseAddress() const;
    // Points the app at this server (sets QUENTA_SERVER_URL for the process).
    void useAsDeploymentServer() const;

    // The control interface: POST /_control/<name> with a JSON body, or GET
    // when the body is empty and get is true. Returns the JSON answer text;
    // throws std::runtime_error unless the status is 200.
    std::string control(const std::string& name, const std::string& json = "{}") const;
    std::string controlGet(const std::string& name) const;

private:
    void stop();
    pid_t pid_ = -1;
    int stdinFd_ = -1;
    int port_ = 0;
};

}  // namespace testserver
