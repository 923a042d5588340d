#pragma once
// Idle kept-alive connections, parked under a connection key, the origin they
// talk to and the way they reach it (directly or through which proxy, and
// for https the TLS settings they were checked under). A connection is handed
// to one stream at a time: adopting takes it out.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/TransportStages.h"

namespace net {

struct ConnectionIdentity {
    int key = 0;
    std::string scheme;
    std::string host;
    int port = 0;
    // "direct", "http-proxy host:port" or "socks host:port".
    std::string route;
    SslSettings ssl;  // https only
    bool operator==(const ConnectionIdentity&) const = default;
};

class ConnectionCache {
public:
    static ConnectionCache& shared();

    // Parks a connection; returns a token that names this parking.
    uint64_t park(const ConnectionIdentity& identity, Connection connection);
    // Takes the connection parked for the identity, if one is there. The
    // taker checks that it is still open (Connection::isIdleAndOpen) before
    // using it.
    std::optional<Connection> take(const ConnectionIdentity& identity);
    // Closes the connection parked under the token, unless it was adopted since.
    void closeParked(uint64_t token);
    // Closes every parked connection.
    void clear();
    size_t parkedCount() const;

private:
    struct Entry {
        ConnectionIdentity identity;
        Connection connection;
        uint64_t token;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    uint64_t nextToken_ = 1;
};

}  // namespace net
