// The store at start when something is wrong with it: another program holds
// it locked (wait, keep the window alive, say it is in use, never delete it),
// and writes past the file-size limit (an error, not the end of the process).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "app/core/initUtil.h"
#include "app/start/KAVOViewController.h"
#include "platform/foundation/Paths.h"
#include "tests/app/start/StartFixture.h"
#include "tests/support/e2e/AppSession.h"

using namespace starttest;

namespace {

// Another process that holds the store in an exclusive transaction until
// released (or killed with the object).
class LockingProcess {
public:
    explicit LockingProcess(const std::string& path) {
        int ready[2];
        if (pipe(ready) != 0 || pipe(release_) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release_[1]);
            SqlDatabase db(path);
            if (!db.open() || !db.beginTransaction()) _exit(2);
            char c = 'r';
            if (write(ready[1], &c, 1) != 1) _exit(3);
            if (read(release_[0], &c, 1) != 1) _exit(4);
            _exit(db.commit() ? 0 : 5);
        }
        close(ready[1]);
        close(release_[0]);
        char c = 0;
        locked_ = read(ready[0], &c, 1) == 1;
        close(ready[0]);
    }
    ~LockingProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(release_[1]);
    }
    bool locked() const { return locked_; }
    // Commits and ends; true when the child did so cleanly.
    bool release() {
        char c = 'x';
        if (write(release_[1], &c, 1) != 1) return false;
        int status = 0;
        const bool ended = waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t pid_ = -1;
    int release_[2] = {-1, -1};
    bool locked_ = false;
};

const std::map<std::string, std::string> kBound = {{"read_index", "3.0.0"}, {"passward", "null"}, {"bid", "3132"}};
const std::vector<std::string> kToMain = {"KAVOViewController->showMain->KAVOMainFrameViewController"};

}  // namespace

TEST_F(StartTest, AStoreLockedByAnotherProgramIsWaitedForAndNeverDeleted) {
    writeStore(kBound);
    const std::string before = *foundation::readFile(DBController::getPath());
    LockingProcess other(DBController::getPath());
    ASSERT_TRUE(other.locked());

    launch();
    // Nothing decided yet, nothing touched: the launch image stays.
    EXPECT_TRUE(segues().empty());
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    // The main loop goes on turning (its clock moves, timers fire) while the
    // store is looked at again and again.
    driver_->advance(3);
    EXPECT_TRUE(segues().empty());
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    EXPECT_TRUE(DBController::databaseExit());
    EXPECT_FALSE(foundation::fileExists(DBController::getPath() + ".damaged"));

    ASSERT_TRUE(other.release());
    driver_->advance(KAVOViewController::kBusyRecheckSeconds);
    EXPECT_EQ(segues(), kToMain);
    EXPECT_TRUE(foundation::readFile(DBController::getPath()) == before) << "the store is as it was";
}

TEST_F(StartTest, AStoreLockedForLongIsReportedAsInUseAndLookedAtAgainOnRetry) {
    writeStore(kBound);
    const std::string before = *foundation::readFile(DBController::getPath());
    LockingProcess other(DBController::getPath());
    ASSERT_TRUE(other.locked());

    launch();
    driver_->advance(KAVOViewController::kBusyPatienceSeconds + 1);
    ui::AlertView* alert = ui::AlertView::frontmost();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "数据库正在使用");
    EXPECT_EQ(alert->message(), "禾盾的数据正被其他程序占用，请关闭该程序后点“重试”。");
    ASSERT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "重试");
    EXPECT_TRUE(segues().empty());

    // Still locked: retrying waits again, quietly.
    driver_->tapText("重试");
    driver_->advance(1);
    EXPECT_EQ(ui::AlertView::frontmost(), nullptr);
    EXPECT_TRUE(segues().empty());

    ASSERT_TRUE(other.release());
    driver_->advance(KAVOViewController::kBusyRecheckSeconds);
    EXPECT_EQ(segues(), kToMain);
    EXPECT_TRUE(foundation::readFile(DBController::getPath()) == before) << "the store is as it was";
    EXPECT_FALSE(foundation::fileExists(DBController::getPath() + ".damaged"));
}

// A write past the file-size limit: the app ignores the signal the system
// sends, and the binding reports that it failed.
TEST(StartFileSizeLimit, AWritePastTheLimitIsAnErrorNotTheEndOfTheProcess) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ignoreFileSizeSignal();
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 512;
        setrlimit(RLIMIT_FSIZE, &limit);
        DkBase dk;
        dk.bid = "3132";
        dk.difftime = "0";
        const bool saved = initUtil::saveDkbase(dk, Answer());
        _exit(saved ? 1 : DBController::databaseExit() ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status)) << "ended by signal " << WTERMSIG(status);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: reported as saved; 2: a file was left";
}

// The same on the real program, as a person meets it.

// After a binding torn by a kill (the table, none of its rows), the next start
// tells of the damage and then leads to binding; the torn file is kept.
TEST(StartStoreFaultsProgram, ATornStoreLeadsToBindingAndIsKept) {
    e2e::Options options;
    options.prepare = [] { writeStore({}); };
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(app.waitForText("数据库损坏")) << app.log();
    ASSERT_TRUE(app.tapText("确定"));
    ASSERT_TRUE(app.tapText("跳过")) << app.log();
    ASSERT_TRUE(app.waitForText("序列号绑定")) << app.log();
    app.withHome([] {
        EXPECT_FALSE(DBController::databaseExit());
        EXPECT_TRUE(foundation::fileExists(DBController::getPath() + ".damaged"));
    });
}

// A bound store another program holds locked: the window stays alive (it goes
// on listing what it shows), nothing is called damaged, and the main screen
// comes once the lock is let go.
TEST(StartStoreFaultsProgram, ALockedStoreIsWaitedForWithTheWindowAlive) {
    std::unique_ptr<LockingProcess> other;
    e2e::Options options;
    options.boundAccount = true;
    options.prepare = [&] { other = std::make_unique<LockingProcess>(DBController::getPath()); };
    e2e::AppSession app(options);
    ASSERT_TRUE(app.ok()) << app.error();
    ASSERT_TRUE(other && other->locked());
    // Three seconds of a locked store: the program keeps answering and does
    // not report damage.
    EXPECT_FALSE(app.waitForText("数据库损坏", 3)) << app.log();
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(app.waitUntilSettled(2));
    ASSERT_TRUE(other->release());
    ASSERT_TRUE(app.waitForText("小禾", 30)) << app.log();
    app.withHome([] { EXPECT_FALSE(foundation::fileExists(DBController::getPath() + ".damaged")); });
}
