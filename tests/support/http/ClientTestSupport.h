#pragma once
// Helpers for the HTTP client tests: a delegate that records callbacks, a
// gate a server handler waits on, and ways to wait for the request thread.

#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>

#include "lib/http/HttpRequest.h"
#include "platform/foundation/RunLoop.h"

namespace clienttest {

struct Recorder : http::HttpRequestDelegate {
    int started = 0, finished = 0, failed = 0, redirected = 0;
    bool allOnMain = true;
    void note() { allOnMain = allOnMain && foundation::RunLoop::isMainThread(); }
    void requestStarted(http::HttpRequest&) override { ++started, note(); }
    void requestFinished(http::HttpRequest&) override { ++finished, note(); }
    void requestFailed(http::HttpRequest&) override { ++failed, note(); }
    void requestRedirected(http::HttpRequest&) override { ++redirected, note(); }
    bool ended() const { return finished + failed > 0; }
};

inline bool runMainUntil(const std::function<bool()>& pred, double seconds = 10) {
    return foundation::RunLoop::main().runUntil(pred, seconds);
}

// Waits until the request thread has handled everything that was due when
// this was called (its tasks, and the timers due at the clock's time).
inline void syncRequestThread() {
    std::promise<void> done;
    auto future = done.get_future();
    foundation::RunLoop& loop = http::HttpRequest::threadForRequest();
    loop.post([&loop, &done] { loop.post([&done] { done.set_value(); }, foundation::kDefaultMode); },
              foundation::kDefaultMode);
    future.wait();
    foundation::RunLoop::main().drain();
}

struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    void wait() {
        std::unique_lock<std::mutex> l(m);
        cv.wait(l, [&] { return open; });
    }
    void release() {
        {
            std::lock_guard<std::mutex> l(m);
            open = true;
        }
        cv.notify_all();
    }
};

}  // namespace clienttest
