// A binding killed at any point leaves the old binding or the new one, whole:
// never no binding, never a table without its rows, never a mix. The writer
// is a child process killed with SIGKILL at many points of its work.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/core/initUtil.h"
#include "platform/foundation/Paths.h"
#include "tests/support/ChildKills.h"
#include "tests/support/TestSupport.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// The rows of binding number n: its key and its time difference both name n.
Rows bindingNumber(long n) {
    const std::string number = std::to_string(n);
    DkBase dk;
    dk.bid = "b" + number;
    dk.difftime = number;
    Answer answer;
    answer.mac = "0123456789abcdef0123456789abcdef";
    answer.uuid = "u" + number;
    return initUtil::bindingRows(dk, answer);
}

// What a start would find: the file is sound and holds exactly one whole
// binding (29 rows, guide version set) whose rows all belong together.
void expectOneWholeBinding(int round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    {
        SqlDatabase db(DBController::getPath());
        ASSERT_TRUE(db.open());
        EXPECT_EQ(db.stringForQuery("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(db.intForQuery("select count(*) from personTable"), 29);
    }
    const StoreReading store = DBController::readStore();
    ASSERT_EQ(store.kind, StoreReading::Readable);
    ASSERT_EQ(store.rows.size(), 29u);
    EXPECT_EQ(store.rows.at(StoreKeys::read_index), "3.0.0");
    const std::string n = store.rows.at(StoreKeys::diffTime);
    EXPECT_EQ(store.rows.at(StoreKeys::bid), "b" + n);
    EXPECT_EQ(store.rows.at(StoreKeys::uuid), "u" + n);
}

}  // namespace

TEST(StoreCrash, AReBindingKilledAnywhereLeavesTheOldOrTheNewBinding) {
    ASSERT_TRUE(initUtil::writeBindingStore(bindingNumber(0)));
    std::vector<Rows> bindings;
    for (long n = 1; n <= 400; ++n) bindings.push_back(bindingNumber(n));
    testsupport::killChildAtManyPoints(
        60, 150, [] {},
        [&](const std::function<void()>& underWay) {
            // Binds again and again, each time over the last one.
            for (const Rows& rows : bindings) {
                if (!initUtil::writeBindingStore(rows)) _exit(4);
                underWay();
            }
        },
        expectOneWholeBinding);
}

TEST(StoreCrash, AFirstBindingKilledAnywhereLeavesNoStoreOrAWholeOne) {
    const Rows rows = bindingNumber(7);
    // The kills are spread over twenty times what one first binding takes
    // here, so that on a busy machine, where the child runs slower, some
    // still land after its binding is in place.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(initUtil::writeBindingStore(rows));
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    const int step = std::max(1, int(took.count() * 20 / 60));
    int whole = 0, none = 0;
    testsupport::killChildAtManyPoints(
        60, step, [] { DBController::deleteDataBase(); },
        [&](const std::function<void()>& underWay) {
            underWay();
            if (!initUtil::writeBindingStore(rows)) _exit(4);
        },
        [&](int round) {
            if (!DBController::databaseExit()) {
                ++none;
                return;
            }
            ++whole;
            expectOneWholeBinding(round);
        });
    // Both ends were reached: some children were killed before the binding
    // was in place, some after.
    EXPECT_GT(none, 0);
    EXPECT_GT(whole, 0);
}
