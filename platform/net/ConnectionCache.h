#pragma once
// Idle kept-alive sockets, parked under a connection key and the origin they
// talk to. A socket is handed to one stream at a time: adopting takes it out.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/net/Socket.h"

namespace net {

struct ConnectionIdentity {
    int key = 0;
    std::string scheme;
    std::string host;
    int port = 0;
    bool operator==(const ConnectionIdentity&) const = default;
};

class ConnectionCache {
public:
    static ConnectionCache& shared();

    // Parks a socket; returns a token that names this parking.
    uint64_t park(const ConnectionIdentity& identity, Socket socket);
    // Takes the socket parked for the identity, if one is there. The taker
    // checks that it is still open (Socket::isIdleAndOpen) before using it.
    std::optional<Socket> take(const ConnectionIdentity& identity);
    // Closes the socket parked under the token, unless it was adopted since.
    void closeParked(uint64_t token);
    // Closes every parked socket.
    void clear();
    size_t parkedCount() const;

private:
    struct Entry {
        ConnectionIdentity identity;
        Socket socket;
        uint64_t token;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    uint64_t nextToken_ = 1;
};

}  // namespace net
