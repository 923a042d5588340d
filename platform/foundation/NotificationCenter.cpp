#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

#include "platform/foundation/Resetters.h"

namespace foundation {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter* center = [] {
        auto* c = new NotificationCenter;
        // First of all: an observer a case left behind (its owner may be gone)
        // is called neither by the resets after this nor in the next case.
        // Shared objects that observe for the process observe again in theirs.
        registerResetter("foundation.notifications", ResetPhase::Presentation, [c] {
            std::lock_guard<std::mutex> lock(c->mutex_);
            c->entries_.clear();
        });
        return c;
    }();
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const void* owner, const std::string& name, Callback cb,
                                                          const void* object) {
    std::lock_guard<std::mutex> lock(mutex_);
    Token t = next_++;
    entries_.push_back(Entry{t, owner, name, object, std::make_shared<Callback>(std::move(cb))});
    return t;
}

void NotificationCenter::removeObserver(Token token) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.token == token; }),
                   entries_.end());
}

void NotificationCenter::removeObserver(const void* owner) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.owner == owner; }),
                   entries_.end());
}

void NotificationCenter::removeObserver(const void* owner, const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                  [&](const Entry& e) { return e.owner == owner && e.name == name; }),
                   entries_.end());
}

void NotificationCenter::post(const std::string& name, const void* object, Value userInfo) {
    Notification n{name, object, std::move(userInfo)};
    std::vector<std::pair<Token, std::shared_ptr<Callback>>> targets;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& e : entries_) {
            if ((e.name.empty() || e.name == name) && (!e.object || e.object == object)) {
                targets.emplace_back(e.token, e.cb);
            }
        }
    }
    for (const auto& target : targets) {
        const Token token = target.first;
        // An observer removed by an earlier callback of this post is not called.
        bool still;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            still = std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.token == token; });
        }
        if (still) (*target.second)(n);
    }
}

}  // namespace foundation
