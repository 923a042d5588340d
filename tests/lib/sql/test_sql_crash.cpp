// A writer killed in the middle of a long transaction leaves the file
// readable, with every row at its old value.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "lib/sql/SqlDatabase.h"
#include "platform/foundation/Paths.h"
#include "tests/lib/sql/SqlTestSupport.h"

namespace {

constexpr int kRows = 2000;

// Runs in the forked child: rewrites every row inside one transaction with a
// tiny page cache (so changed pages reach the file before the commit), tells
// the parent when half the rows are written, then waits to be killed.
[[noreturn]] void childWriter(const std::string& path, int ready, int never) {
    SqlDatabase db(path);
    if (!db.open() || !db.executeUpdate("PRAGMA cache_size=2") || !db.beginTransaction()) _exit(2);
    for (int i = 0; i < kRows; ++i) {
        if (!db.executeUpdate("update t set v = ? where id = ?", {std::string(300, 'n'), i})) _exit(3);
        if (i == kRows / 2) {
            char c = 'x';
            if (write(ready, &c, 1) != 1) _exit(4);
            ssize_t r = read(never, &c, 1);  // blocks until the parent kills us
            (void)r;
        }
    }
    _exit(5);
}

}  // namespace

TEST(SqlCrash, KilledWriterLeavesOldValues) {
    std::string path = dbPath("crash.db");
    {
        SqlDatabase db(path);
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.executeUpdate("create table t(id integer primary key, v text)"));
        ASSERT_TRUE(db.beginTransaction());
        for (int i = 0; i < kRows; ++i)
            ASSERT_TRUE(db.executeUpdate("insert into t values (?, ?)", {i, std::string(300, 'o')}));
        ASSERT_TRUE(db.commit());
    }
    auto sizeBefore = foundation::readFile(path)->size();

    int ready[2], never[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(never), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) childWriter(path, ready[1], never[0]);

    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    // The child is inside its transaction: the journal is there and pages of
    // the file itself have already been overwritten.
    EXPECT_TRUE(foundation::fileExists(path + "-journal"));
    auto during = foundation::readFile(path);
    ASSERT_TRUE(during);
    EXPECT_NE(during->find(std::string(300, 'n')), std::string::npos);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    for (int fd : {ready[0], ready[1], never[0], never[1]}) close(fd);

    // The next connection finds the hot journal and rolls it back.
    SqlDatabase db(path);
    ASSERT_TRUE(db.open());
    EXPECT_EQ(db.stringForQuery("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(db.intForQuery("select count(*) from t"), kRows);
    EXPECT_EQ(db.intForQuery("select count(*) from t where v = ?", {std::string(300, 'o')}), kRows);
    EXPECT_FALSE(foundation::fileExists(path + "-journal"));
    EXPECT_EQ(foundation::readFile(path)->size(), sizeBefore);
}
