#pragma once
// Kills a child process with SIGKILL at many points of a piece of work, the
// way a phone ends an app, and looks at what the work left behind each time.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace testsupport {

// For each of `kills` rounds: `prepare` runs in this process; a child is
// forked that runs `work` (it may loop for ever), which calls `underWay`
// once it is under way (the child is ended only after that); it is killed `step` microseconds times the round's
// number after that, and `check` looks at the result with the round's
// number. A child that ended by itself (its work returned) is fine too; one
// that failed its work (exit status other than 0) fails the test.
using ChildWork = std::function<void(const std::function<void()>& underWay)>;

inline void killChildAtManyPoints(int kills, int stepMicroseconds, const std::function<void()>& prepare,
                                  const ChildWork& work, const std::function<void(int round)>& check) {
    for (int round = 0; round < kills; ++round) {
        prepare();
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(started[0]);
            bool told = false;
            auto underWay = [&] {
                char c = 's';
                if (!told && write(started[1], &c, 1) != 1) _exit(3);
                told = true;
            };
            work(underWay);
            underWay();
            _exit(0);
        }
        close(started[1]);
        char c = 0;
        ASSERT_EQ(read(started[0], &c, 1), 1);
        close(started[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(long(round) * stepMicroseconds));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (WIFEXITED(status)) {
            ASSERT_EQ(WEXITSTATUS(status), 0) << "the work failed in round " << round;
        }
        check(round);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace testsupport
