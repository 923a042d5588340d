#pragma once
// Named notifications, posted synchronously on the posting thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace foundation {

struct Notification {
    std::string name;
    const void* object = nullptr;  // the sender, compared by identity
    Value userInfo;
};

class NotificationCenter {
public:
    using Callback = std::function<void(const Notification&)>;
    using Token = uint64_t;

    static NotificationCenter& defaultCenter();

    // Observes `name` (empty: every name), from `object` (nullptr: any sender).
    // `owner` groups observations so removeObserver(owner) drops them all.
    Token addObserver(const void* owner, const std::string& name, Callback cb, const void* object = nullptr);
    void removeObserver(Token token);
    void removeObserver(const void* owner);
    void removeObserver(const void* owner, const std::string& name);

    void post(const std::string& name, const void* object = nullptr, Value userInfo = {});

private:
    struct Entry {
        Token token;
        const void* owner;
        std::string name;
        const void* object;
        std::shared_ptr<Callback> cb;
    };
    std::mutex mutex_;
    std::vector<Entry> entries_;
    Token next_ = 1;
};

}  // namespace foundation
