#include "lib/http/RunLoopThread.h"

#include <future>
#include <thread>

#include "platform/foundation/Background.h"

namespace http {

foundation::RunLoop& startRunLoopThread() {
    std::promise<foundation::RunLoop*> ready;
    auto future = ready.get_future();
    std::thread([&ready] {
        foundation::setThreadName("http.runloop");
        foundation::RunLoop& mine = foundation::RunLoop::current();
        ready.set_value(&mine);
        for (;;) mine.run(foundation::kDefaultMode);  // never ends
    }).detach();
    return *future.get();
}

}  // namespace http
