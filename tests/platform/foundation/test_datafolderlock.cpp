// One program per data folder, between real processes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/foundation/DataFolderLock.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestSupport.h"

namespace {

using foundation::DataFolderLock;

// A child process that takes the folder's lock, says so on a pipe and holds
// it until it is killed.
pid_t holdInChild(const std::string& folder) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(ready[0]);
        auto lock = DataFolderLock::acquire(folder);
        const char c = lock ? 'y' : 'n';
        if (write(ready[1], &c, 1) != 1) _exit(3);
        for (;;) pause();
    }
    close(ready[1]);
    char c = 0;
    const bool held = read(ready[0], &c, 1) == 1 && c == 'y';
    close(ready[0]);
    if (!held && child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

TEST(DataFolderLock, ASecondProcessIsRefusedUntilTheFirstHasEndedHoweverItEnded) {
    const std::string folder = foundation::joinPath(testsupport::tempDir("lock"), "data");
    const pid_t first = holdInChild(folder);
    ASSERT_GT(first, 0);

    std::string why;
    EXPECT_FALSE(DataFolderLock::acquire(folder, &why));
    EXPECT_NE(why.find("禾盾已在运行"), std::string::npos) << why;
    EXPECT_NE(why.find(folder), std::string::npos) << why;
    EXPECT_NE(why.find("进程 " + std::to_string(first)), std::string::npos) << why;

    // Ended without a word, as a killed program ends: the lock goes with it.
    kill(first, SIGKILL);
    ASSERT_EQ(waitpid(first, nullptr, 0), first);
    auto lock = DataFolderLock::acquire(folder, &why);
    ASSERT_TRUE(lock) << why;
    // Held here now: another process is refused in turn.
    const pid_t second = holdInChild(folder);
    EXPECT_EQ(second, -1);
    lock.reset();
    const pid_t third = holdInChild(folder);
    EXPECT_GT(third, 0);
    if (third > 0) {
        kill(third, SIGKILL);
        waitpid(third, nullptr, 0);
    }
}

TEST(DataFolderLock, AFolderThatCannotBeMadeSaysWhy) {
    const std::string file = foundation::joinPath(testsupport::tempDir("lock"), "file");
    ASSERT_TRUE(foundation::writeFileAtomically(file, "x"));
    std::string why;
    EXPECT_FALSE(DataFolderLock::acquire(foundation::joinPath(file, "data"), &why));
    EXPECT_NE(why.find(file), std::string::npos) << why;
}

}  // namespace
