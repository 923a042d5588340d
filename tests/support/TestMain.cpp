// The test main: every case gets its own empty $QUENTA_HOME and the real exit
// replaced by a recorder that fails the case if nothing expected it; after
// each case every process-wide object (the clock, the device facts, the
// defaults, the shared instances and caches) is reset through the registry
// the libraries register into. Tests and fixtures do not reset them again.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/foundation/App.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/Resetters.h"
#include "platform/foundation/RunLoop.h"

namespace {

class FreshHome : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        char pattern[] = "/tmp/quenta-test-XXXXXX";
        const char* dir = mkdtemp(pattern);
        if (!dir) abort();
        dir_ = dir;
        setenv("QUENTA_HOME", dir_.c_str(), 1);
        foundation::setExitHandler([](int code) { ADD_FAILURE() << "the app tried to exit with code " << code; });
    }
    void OnTestEnd(const testing::TestInfo&) override {
        foundation::RunLoop::main().drain();
        // The one reset: whatever a case left in the process-wide objects
        // (alerts up, a started tracker, a kept-alive connection, an
        // observer, a clock, cached textures) is gone before the next one.
        foundation::resetProcessWideObjects();
        foundation::RunLoop::main().drain();
        foundation::removeItem(dir_);
    }
    std::string dir_;
};

}  // namespace

int main(int argc, char** argv) {
    foundation::RunLoop::setMainThread();
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshHome);
    return RUN_ALL_TESTS();
}
