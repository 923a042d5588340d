#include "platform/net/ConnectionCache.h"

#include "platform/foundation/Resetters.h"

namespace net {

ConnectionCache& ConnectionCache::shared() {
    static ConnectionCache* cache = [] {
        auto* c = new ConnectionCache();  // lives as long as the process
        // A connection a case kept alive is closed, never handed to the next one.
        foundation::registerResetter("net.connectionCache", foundation::ResetPhase::Service, [c] { c->clear(); });
        return c;
    }();
    return *cache;
}

uint64_t ConnectionCache::park(const ConnectionIdentity& identity, Connection connection) {
    std::vector<Entry> replaced;
    std::lock_guard<std::mutex> lock(mutex_);
    // One idle connection per identity: an older one is replaced.
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->identity == identity) {
            replaced.push_back(std::move(*it));
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
    uint64_t token = nextToken_++;
    entries_.push_back(Entry{identity, std::move(connection), token});
    return token;
}

std::optional<Connection> ConnectionCache::take(const ConnectionIdentity& identity) {
    Connection found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->identity == identity) {
                found = std::move(it->connection);
                entries_.erase(it);
                break;
            }
        }
    }
    if (!found.socket.valid()) return std::nullopt;
    return found;
}

void ConnectionCache::closeParked(uint64_t token) {
    Connection dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->token == token) {
            dropped = std::move(it->connection);
            entries_.erase(it);
            return;
        }
    }
}

void ConnectionCache::clear() {
    std::vector<Entry> old;
    std::lock_guard<std::mutex> lock(mutex_);
    old.swap(entries_);
}

size_t ConnectionCache::parkedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

}  // namespace net
