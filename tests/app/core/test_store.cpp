// The key/value store on a real file in the case's Documents folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "app/core/CoreConstants.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "app/core/UpdateDataToSqlite.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestSupport.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// What the binding writes, in its order.
Rows bindingRows() {
    namespace K = StoreKeys;
    return {
        {K::bid, "3132333435363738393031323334353637383930"},
        {K::mac, "0123456789abcdef0123456789abcdef"},
        {K::sessionkey, "null"},
        {K::uuid, "a-b-c-d"},
        {K::diffTime, "-12"},
        {K::suggestTime, "123"},
        {K::passward, "null"},
        {K::username, "null"},
        {K::userType, "null"},
        {K::phoneNo, "未绑定"},
        {K::imageUrl, "null"},
        {K::safePhone, "null"},
        {K::read_index, "3.0.0"},
        {K::safe_password, "0"},
        {K::safe_time, "null"},
        {K::faild_count, "0"},
        {K::jiuxing, "1"},
        {K::remote_version, "3.0.0"},
        {K::otpFast, "0"},
        {K::keyLogin, "1"},
        {K::isPushInfo, "1"},
        {K::account_lock, "0"},
        {K::state, "0"},
        {K::adversion, "0"},
        {K::temp1, "123"},
        {K::temp2, "123"},
        {K::temp3, "123"},
        {K::temp4, "123"},
        {K::temp5, "123"},
    };
}

void bind() {
    DBController controller;
    ASSERT_TRUE(controller.initDatabase());
    for (const auto& [key, value] : bindingRows()) ASSERT_TRUE(controller.InsertTable(key, value)) << key;
    controller.closeDatabase();
}

int rowCount() {
    SqlDatabase db(DBController::getPath());
    if (!db.open()) return -1;
    return db.intForQuery("select count(*) from personTable");
}

}  // namespace

TEST(Store, FileLivesInDocuments) {
    EXPECT_EQ(DBController::getPath(), testsupport::home() + "/Documents/safeCenterDB");
    EXPECT_FALSE(DBController::databaseExit());
    // The path follows the home named by the environment.
    std::string other = testsupport::tempDir("other-home");
    std::string home = testsupport::home();
    setenv("QUENTA_HOME", other.c_str(), 1);
    EXPECT_EQ(DBController::getPath(), other + "/Documents/safeCenterDB");
    bind();
    EXPECT_TRUE(foundation::fileExists(other + "/Documents/safeCenterDB"));
    setenv("QUENTA_HOME", home.c_str(), 1);
    EXPECT_EQ(DBController::getPath(), home + "/Documents/safeCenterDB");
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::read_index), std::nullopt);
}

// Without a file nothing reads, writes or creates one.
TEST(Store, NoFileMeansNoStoreAndCreatesNone) {
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::read_index), std::nullopt);
    EXPECT_FALSE(CoreConstants::upDateDBSetValue("1", StoreKeys::otpFast));
    EXPECT_FALSE(UpdateDataToSqlite::updateData("1", StoreKeys::otpFast));
    EXPECT_FALSE(DBController::deleteDataBase());
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_FALSE(foundation::fileExists(DBController::getPath()));
}

TEST(Store, BindingRowsReadBack) {
    bind();
    EXPECT_TRUE(DBController::databaseExit());
    EXPECT_EQ(rowCount(), 29);
    for (const auto& [key, value] : bindingRows()) EXPECT_EQ(CoreConstants::getValueFromDBByKey(key), value) << key;
    // Unset values read as "null"; keys without a row as "(null)".
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::passward), "null");
    EXPECT_EQ(CoreConstants::getValueFromDBByKey("neverInserted"), "(null)");
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::token), "(null)");

    DBController controller;
    auto all = controller.querryTable();
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 29u);
}

TEST(Store, StoreFileIsPrivateToItsOwner) {
    bind();
    struct stat st {};
    ASSERT_EQ(stat(DBController::getPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Store, UpdatesChangeOnlyExistingKeys) {
    bind();
    EXPECT_TRUE(CoreConstants::upDateDBSetValue("4321", StoreKeys::passward));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::passward), "4321");
    EXPECT_TRUE(UpdateDataToSqlite::updateData("1", StoreKeys::otpFast));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::otpFast), "1");
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::jiuxing), "1");

    // A key without a row: success, and nothing is inserted.
    EXPECT_TRUE(CoreConstants::upDateDBSetValue("x", "noSuchKey"));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey("noSuchKey"), "(null)");
    EXPECT_EQ(rowCount(), 29);

    // Values are data: quotes and SQL in them are stored as they are.
    const std::string hostile = "'); drop table personTable; --";
    EXPECT_TRUE(CoreConstants::upDateDBSetValue(hostile, StoreKeys::username));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::username), hostile);
    EXPECT_EQ(rowCount(), 29);
}

TEST(Store, DuplicateKeysReadTheLaterRowAndUpdateBoth) {
    bind();
    {
        DBController controller;
        ASSERT_TRUE(controller.InsertTable(StoreKeys::uuid, "second-binding"));
    }
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::uuid), "second-binding");
    ASSERT_TRUE(CoreConstants::upDateDBSetValue("both", StoreKeys::uuid));
    SqlDatabase db(DBController::getPath());
    ASSERT_TRUE(db.open());
    EXPECT_EQ(db.intForQuery("select count(*) from personTable where key = ? and value = ?", {"uuid", "both"}), 2);
}

TEST(Store, RowsWithNullKeyOrValueAreLeftOut) {
    bind();
    {
        SqlDatabase db(DBController::getPath());
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.executeUpdate("insert into personTable(key, value) values (?, ?), (?, ?)",
                                     {"state", foundation::Value(), foundation::Value(), "orphan"}));
    }
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::state), "0");
    DBController controller;
    auto all = controller.querryTable();
    ASSERT_TRUE(all);
    EXPECT_EQ(all->size(), 29u);
}

TEST(Store, DeleteAndRecreate) {
    bind();
    ASSERT_TRUE(CoreConstants::upDateDBSetValue("9999", StoreKeys::passward));
    EXPECT_TRUE(DBController::deleteDataBase());
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::passward), std::nullopt);
    EXPECT_FALSE(CoreConstants::upDateDBSetValue("1", StoreKeys::passward));
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_FALSE(DBController::deleteDataBase());

    bind();
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::passward), "null");
    EXPECT_EQ(rowCount(), 29);
}

// A controller made before the file was deleted does not write it back.
TEST(Store, OperationsCheckTheFileFirst) {
    bind();
    DBController controller;
    ASSERT_TRUE(DBController::deleteDataBase());
    EXPECT_FALSE(controller.initDatabase());
    EXPECT_FALSE(controller.InsertTable("k", "v"));
    EXPECT_FALSE(controller.UpdataTable("v", "k"));
    EXPECT_EQ(controller.querryTable(), std::nullopt);
    EXPECT_FALSE(controller.deleteTable());
    controller.closeDatabase();
    EXPECT_FALSE(DBController::databaseExit());
}

TEST(Store, WritesWithoutTableFailAndDeleteTableDropsIt) {
    {
        DBController controller;  // creates the file, no table yet
        EXPECT_TRUE(DBController::databaseExit());
        EXPECT_FALSE(controller.InsertTable("k", "v"));
        EXPECT_FALSE(controller.UpdataTable("v", "k"));
        EXPECT_EQ(controller.querryTable(), std::nullopt);
        EXPECT_FALSE(controller.dataBase()->inTransaction());
        ASSERT_TRUE(controller.initDatabase());
        EXPECT_TRUE(controller.initDatabase());  // "if not exists"
        EXPECT_TRUE(controller.InsertTable("k", "v"));
        EXPECT_TRUE(controller.deleteTable());
        EXPECT_FALSE(controller.dataBase()->tableExists(StoreKeys::tableName));
    }
    EXPECT_EQ(CoreConstants::getValueFromDBByKey("k"), std::nullopt);
}

// A write that cannot get the file reports failure and leaves nothing behind.
TEST(Store, BlockedWriteReportsFailure) {
    bind();
    SqlDatabase holder(DBController::getPath());
    ASSERT_TRUE(holder.open());
    ASSERT_TRUE(holder.beginTransaction());

    DBController controller;
    controller.dataBase()->setBusyRetryTimeout(2);
    EXPECT_FALSE(controller.InsertTable("late", "row"));
    EXPECT_FALSE(controller.UpdataTable("1", StoreKeys::otpFast));
    EXPECT_EQ(controller.querryTable(), std::nullopt);
    EXPECT_FALSE(controller.dataBase()->inTransaction());

    ASSERT_TRUE(holder.commit());
    EXPECT_TRUE(controller.UpdataTable("1", StoreKeys::otpFast));
    controller.closeDatabase();
    EXPECT_EQ(CoreConstants::getValueFromDBByKey("late"), "(null)");
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::otpFast), "1");
}

TEST(Store, DamagedFileIsNoStore) {
    ASSERT_TRUE(foundation::writeFileAtomically(DBController::getPath(), std::string(4096, 'Z')));
    EXPECT_EQ(CoreConstants::getValueFromDBByKey(StoreKeys::read_index), std::nullopt);
    EXPECT_FALSE(CoreConstants::upDateDBSetValue("1", StoreKeys::otpFast));
}

// Writers on several threads, each with its own connection, are serialised
// by SQLite's locking and the busy retry: every write lands.
TEST(Store, ConcurrentWritersAllLand) {
    bind();
    constexpr int kThreads = 4, kWrites = 25;
    const char* keys[kThreads] = {StoreKeys::temp1, StoreKeys::temp2, StoreKeys::temp3, StoreKeys::temp4};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 1; n <= kWrites; ++n) {
                if (!UpdateDataToSqlite::updateData(std::to_string(n), keys[t])) ++failures;
                auto read = CoreConstants::getValueFromDBByKey(keys[t]);
                if (read != std::to_string(n)) ++failures;
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, 0);
    for (const char* key : keys) EXPECT_EQ(CoreConstants::getValueFromDBByKey(key), std::to_string(kWrites));
    EXPECT_EQ(rowCount(), 29);
}

TEST(Store, ServerBaseAddress) {
    struct Case {
        const char* env;
        const char* expected;
    };
    const Case cases[] = {
        {"http://127.0.0.1:5000", "http://127.0.0.1:5000/safeCenter.do?"},
        {"http://127.0.0.1:5000/", "http://127.0.0.1:5000/safeCenter.do?"},
        {"https://example.test/api/safeCenter.do?", "https://example.test/api/safeCenter.do?"},
    };
    for (const auto& c : cases) {
        setenv("QUENTA_SERVER_URL", c.env, 1);
        EXPECT_EQ(StoreKeys::serverBaseAddress(), c.expected);
    }
    unsetenv("QUENTA_SERVER_URL");
    std::string fallback = StoreKeys::serverBaseAddress();
    EXPECT_EQ(fallback.rfind("http://127.0.0.1:", 0), 0u);
    EXPECT_TRUE(fallback.ends_with("/safeCenter.do?"));
}
