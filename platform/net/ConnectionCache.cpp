#include "platform/net/ConnectionCache.h"

namespace net {

ConnectionCache& ConnectionCache::shared() {
    static ConnectionCache* cache = new ConnectionCache();  // lives as long as the process
    return *cache;
}

uint64_t ConnectionCache::park(const ConnectionIdentity& identity, Socket socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    // One idle socket per identity: an older one is replaced.
    std::erase_if(entries_, [&](const Entry& e) { return e.identity == identity; });
    uint64_t token = nextToken_++;
    entries_.push_back(Entry{identity, std::move(socket), token});
    return token;
}

std::optional<Socket> ConnectionCache::take(const ConnectionIdentity& identity) {
    Socket found;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->identity == identity) {
                found = std::move(it->socket);
                entries_.erase(it);
                break;
            }
        }
    }
    if (!found.valid()) return std::nullopt;
    return found;
}

void ConnectionCache::closeParked(uint64_t token) {
    Socket dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->token == token) {
            dropped = std::move(it->socket);
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
