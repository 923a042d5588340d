#include "lib/engine2d/support/GxThreadBlocks.h"

#include <condition_variable>
#include <mutex>

namespace engine2d {

namespace {

// Lets the waiting caller go when the posted work is gone: run, or dropped
// with its loop.
struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
};
struct Signal {
    explicit Signal(std::shared_ptr<Done> s) : state(std::move(s)) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;
    std::shared_ptr<Done> state;
    ~Signal() {
        std::lock_guard<std::mutex> lock(state->mutex);
        state->done = true;
        state->cv.notify_all();
    }
};

void executeBlock(const std::function<void()>& block) {
    if (block) block();
}

void executeBlock2(const GxObjectWith2Params& params) {
    if (params.block) params.block(params.param);
}

void send(foundation::RunLoop& thread, std::function<void()> work, bool waitUntilDone) {
    if (!waitUntilDone) {
        thread.post(std::move(work));
        return;
    }
    if (thread.isCurrent()) {
        work();
        return;
    }
    auto state = std::make_shared<Done>();
    {
        auto signal = std::make_shared<Signal>(state);
        thread.post([work = std::move(work), signal] { work(); });
    }
    std::unique_lock<std::mutex> lock(state->mutex);
    state->cv.wait(lock, [&] { return state->done; });
}

}  // namespace

void performBlock(foundation::RunLoop& thread, std::function<void()> block, bool waitUntilDone) {
    send(
        thread, [block = std::move(block)] { executeBlock(block); }, waitUntilDone);
}

void performBlock(foundation::RunLoop& thread, std::function<void(const std::shared_ptr<void>&)> block,
                  std::shared_ptr<void> object, bool waitUntilDone) {
    GxObjectWith2Params params{std::move(block), std::move(object)};
    send(
        thread, [params = std::move(params)] { executeBlock2(params); }, waitUntilDone);
}

}  // namespace engine2d
