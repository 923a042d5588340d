// The store a binding leaves: the 29 rows in their order, written in one
// transaction on a real SQLite file, and nothing at all when a row fails.
// Also the JSON payloads the binding roads send, which must be ASCII.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/core/DBController.h"
#include "app/core/Envelope.h"
#include "app/core/StoreKeys.h"
#include "app/core/initUtil.h"
#include "app/core/rsaUtil.h"
#include "lib/json/JsonParser.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestSupport.h"

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

// Every row of the file, by id.
Rows storedRows() {
    Rows rows;
    auto db = DBController::openExisting();
    if (!db) return rows;
    auto rs = db->dataBase()->executeQuery("select key, value from personTable order by id");
    while (rs && rs->next()) rows.emplace_back(*rs->stringForColumnIndex(0), *rs->stringForColumnIndex(1));
    return rows;
}

DkBase boundDkBase() {
    DkBase dk;
    dk.bid = "3132333435363738393031323334353637383930";
    dk.difftime = "-7";
    return dk;
}

Answer boundAnswer() {
    Answer a;
    a.mac = "0123456789abcdef0123456789abcdef";
    a.uuid = "6F9619FF-8B86-4011-B42D-00C04FC964FF";
    return a;
}

TEST(BindingStore, ASavedBindingHoldsExactlyTheTwentyNineRowsInOrder) {
    foundation::UserDefaults::standard().setString(StoreKeys::isPushInfo, "1");
    ASSERT_TRUE(initUtil::saveDkbase(boundDkBase(), boundAnswer()));
    const Rows expected = {
        {"bid", "3132333435363738393031323334353637383930"},
        {"mac", "0123456789abcdef0123456789abcdef"},
        {"sessionkey", "null"},
        {"uuid", "6F9619FF-8B86-4011-B42D-00C04FC964FF"},
        {"diffTime", "-7"},
        {"suggestTime", "123"},
        {"passward", "null"},
        {"username", "null"},
        {"userType", "null"},
        {"phoneNo", "未绑定"},
        {"imageUrl", "null"},
        {"safePhone", "null"},
        {"read_index", "3.0.0"},
        {"safe_password", "0"},
        {"safe_time", "null"},
        {"faild_count", "0"},
        {"jiuxing", "1"},
        {"remote_version", "3.0.0"},
        {"otpFast", "0"},
        {"keyLogin", "1"},
        {"isPushInfo", "1"},
        {"account_lock", "0"},
        {"state", "0"},
        {"adversion", "0"},
        {"temp1", "123"},
        {"temp2", "123"},
        {"temp3", "123"},
        {"temp4", "123"},
        {"temp5", "123"},
    };
    EXPECT_EQ(storedRows(), expected);
}

TEST(BindingStore, ANewBindingReplacesAnOldStoreInsteadOfAddingToIt) {
    ASSERT_TRUE(initUtil::saveDkbase(boundDkBase(), boundAnswer()));
    {
        DBController old;
        ASSERT_TRUE(old.InsertTable("stale", "row"));
    }
    DkBase second = boundDkBase();
    second.bid = "41424344";
    ASSERT_TRUE(initUtil::saveDkbase(second, boundAnswer()));
    const Rows rows = storedRows();
    ASSERT_EQ(rows.size(), 29u);
    EXPECT_EQ(rows.front(), (std::pair<std::string, std::string>{"bid", "41424344"}));
    for (const auto& row : rows) EXPECT_NE(row.first, "stale");
}

TEST(BindingStore, ARefusedBindingLeavesTheOldStoreAsItWas) {
    // A bound store whose table refuses one of the new rows half-way through.
    ASSERT_TRUE(initUtil::saveDkbase(boundDkBase(), boundAnswer()));
    const Rows before = storedRows();
    {
        DBController db;
        ASSERT_TRUE(db.dataBase()->executeUpdate(
            "create trigger refuse before insert on personTable when new.key = 'remote_version' "
            "begin select raise(abort, 'refused'); end;"));
    }
    DkBase second = boundDkBase();
    second.bid = "41424344";
    EXPECT_FALSE(initUtil::writeBindingStore(initUtil::bindingRows(second, boundAnswer())));
    EXPECT_EQ(storedRows(), before);
}

using testsupport::FileSizeLimit;

TEST(BindingStore, BindingsThatCannotBeWrittenFailAndLeaveWhatWasThere) {
    {
        FileSizeLimit full(512);
        EXPECT_FALSE(initUtil::saveDkbase(boundDkBase(), boundAnswer()));
    }
    EXPECT_FALSE(DBController::databaseExit()) << "a first binding leaves no file";
    EXPECT_FALSE(foundation::fileExists(DBController::getPath() + ".new"));

    ASSERT_TRUE(initUtil::saveDkbase(boundDkBase(), boundAnswer()));
    const Rows before = storedRows();
    DkBase second = boundDkBase();
    second.bid = "41424344";
    {
        FileSizeLimit full(512);
        EXPECT_FALSE(initUtil::saveDkbase(second, boundAnswer()));
    }
    EXPECT_EQ(storedRows(), before) << "a new binding leaves the old one";
}

TEST(BindingStore, ADamagedStoreIsKeptAsideAndTheBindingWritten) {
    const std::string junk(4096, 'Z');
    ASSERT_TRUE(foundation::writeFileAtomically(DBController::getPath(), junk));
    ASSERT_TRUE(initUtil::saveDkbase(boundDkBase(), boundAnswer()));
    EXPECT_EQ(storedRows().size(), 29u);
    EXPECT_TRUE(foundation::readFile(DBController::getPath() + ".damaged") == junk);
}

TEST(BindingStore, InsertRowsIsAllOrNothing) {
    DBController db;
    ASSERT_TRUE(db.initDatabase());
    ASSERT_TRUE(
        db.dataBase()->executeUpdate("create trigger refuse before insert on personTable when new.key = 'third' "
                                     "begin select raise(abort, 'refused'); end;"));
    EXPECT_FALSE(db.InsertRows({{"first", "1"}, {"second", "2"}, {"third", "3"}}));
    EXPECT_EQ(db.querryTable()->size(), 0u);
    EXPECT_TRUE(db.InsertRows({{"first", "1"}, {"second", "2"}}));
    EXPECT_EQ(db.querryTable()->size(), 2u);
}

TEST(JsonPayloadText, CharactersBeyondAsciiTravelAsEscapesAndEncipher) {
    foundation::Dictionary fields;
    fields.set("nick", foundation::Value("演示账号😀"));
    auto text = JsonPayload(32, fields).text();
    ASSERT_TRUE(text);
    for (unsigned char c : *text) EXPECT_LT(c, 0x80u) << *text;
    EXPECT_NE(text->find("\\u6f14"), std::string::npos);
    EXPECT_NE(text->find("\\ud83d\\ude00"), std::string::npos);  // one character beyond the first plane
    auto parsed = JsonParser().objectWithString(*text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed->get("nick")->asString(), "演示账号😀");
    EXPECT_EQ(*parsed->get("service")->asString(), "32");
    // A long name fills whole blocks; every one of them enciphers.
    fields.set("nick", foundation::Value(std::string(60, 'x') + "账号账号账号账号账号账号账号账号"));
    auto longer = JsonPayload(32, fields).text();
    ASSERT_TRUE(longer);
    EXPECT_TRUE(rsaUtil::RSA_encrypt(*longer));
}

}  // namespace
