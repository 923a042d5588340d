// The SQLite hit store on real files: schema, visits, the cap, sampling,
// counting, referrers, migration and the file's place.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>
#include <vector>

#include "lib/analytics/TrkPersistentHitStore.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Paths.h"
#include "tests/support/TestSupport.h"

namespace {

// Runs SQL on a file through a connection of its own and returns the rows
// as "a|b|c" texts.
std::vector<std::string> query(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
    } else {
        while (sqlite3_step(s) == SQLITE_ROW) {
            std::string row;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                if (i) row += "|";
                const unsigned char* t = sqlite3_column_text(s, i);
                row += t ? reinterpret_cast<const char*>(t) : "NULL";
            }
            rows.push_back(row);
        }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

void exec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
}

class HitStoreTest : public testing::Test {
protected:
    void SetUp() override {
        builder->setAccountIDs({"UA-1"});
        path = foundation::joinPath(testsupport::tempDir("store"), "hits.sql");
    }
    std::unique_ptr<TrkPersistentHitStore> open() { return std::make_unique<TrkPersistentHitStore>(builder, path); }
    static TrkEvent pageView(const std::string& p = "/a") {
        return TrkEvent(p, kTrkPageviewCategory, std::nullopt, std::nullopt, 0);
    }

    foundation::ManualClockScope clock{1700000000.0};
    std::shared_ptr<TrkHitBuilder> builder = std::make_shared<TrkHitBuilder>();
    std::string path;
};

TEST_F(HitStoreTest, FreshFileHasTheLayout) {
    auto store = open();
    ASSERT_NE(store->database(), nullptr);
    EXPECT_EQ(
        query(path, "SELECT name FROM sqlite_master WHERE type='table' AND name!='sqlite_sequence' ORDER BY name"),
        (std::vector<std::string>{"custom_var_cache", "events", "hits", "referrer", "session"}));
    EXPECT_EQ(query(path,
                    "SELECT COUNT(*), MIN(cv_index), MAX(cv_index) FROM custom_var_cache WHERE cv_scope=3 AND "
                    "cv_name='' AND cv_value=''"),
              (std::vector<std::string>{"50|1|50"}));
    auto session =
        query(path, "SELECT timestamp_first, timestamp_previous, timestamp_current, visits, store_id FROM session");
    ASSERT_EQ(session.size(), 1u);
    EXPECT_EQ(session[0], "0|0|0|0|" + std::to_string(store->storeID()));
    EXPECT_GE(store->storeID(), 0);
    EXPECT_FALSE(store->sessionStarted());
    EXPECT_EQ(store->storedHits(), 0u);
    EXPECT_EQ(store->visitorIDForAds(), std::nullopt);

    // Opening again keeps the visitor and adds no second cache row.
    int id = store->storeID();
    store.reset();
    store = open();
    EXPECT_EQ(store->storeID(), id);
    EXPECT_EQ(query(path, "SELECT COUNT(*) FROM custom_var_cache"), (std::vector<std::string>{"50"}));
}

TEST_F(HitStoreTest, VisitsAndHitsSurviveReopening) {
    auto store = open();
    TrkEvent e = pageView();
    ASSERT_TRUE(store->persistEvent(e, nullptr));
    EXPECT_EQ(store->timestampFirst(), 1700000000);
    EXPECT_EQ(store->timestampPrevious(), 1700000000);
    EXPECT_EQ(store->timestampCurrent(), 1700000000);
    EXPECT_EQ(store->visits(), 1);
    EXPECT_EQ(e.visitorId(), store->storeID());
    EXPECT_GE(e.randomVal(), 0);
    EXPECT_EQ(store->visitorIDForAds(), std::to_string(store->storeID()) + ".1700000000");
    EXPECT_EQ(store->sessionIDForAds(), "1700000000");

    // A second event of the same visit does not open another.
    TrkEvent e2 = pageView("/b");
    ASSERT_TRUE(store->persistEvent(e2, nullptr));
    EXPECT_EQ(store->visits(), 1);

    // The next start, in the same second: current = previous + 1.
    store.reset();
    store = open();
    EXPECT_TRUE(store->sessionStarted());
    EXPECT_EQ(store->storedHits(), 2u);
    store->startNewSession();
    TrkEvent e3 = pageView();
    ASSERT_TRUE(store->persistEvent(e3, nullptr));
    EXPECT_EQ(store->timestampPrevious(), 1700000000);
    EXPECT_EQ(store->timestampCurrent(), 1700000001);
    EXPECT_EQ(store->visits(), 2);

    // Later: previous is the old current.
    clock->advance(3600);
    store->startNewSession();
    TrkEvent e4 = pageView();
    ASSERT_TRUE(store->persistEvent(e4, nullptr));
    EXPECT_EQ(store->timestampFirst(), 1700000000);
    EXPECT_EQ(store->timestampPrevious(), 1700000001);
    EXPECT_EQ(store->timestampCurrent(), 1700003600);
    EXPECT_EQ(store->visits(), 3);
    EXPECT_EQ(query(path, "SELECT timestamp_first, timestamp_previous, timestamp_current, visits FROM session"),
              (std::vector<std::string>{"1700000000|1700000001|1700003600|3"}));

    auto hits = store->peekHits(-1);
    ASSERT_EQ(hits.size(), 4u);
    EXPECT_LT(hits[0].hitId(), hits[1].hitId());
    EXPECT_NE(hits[0].hitString().find("utmp=%2Fa"), std::string::npos);
    EXPECT_NE(hits[1].hitString().find("utmp=%2Fb"), std::string::npos);
    EXPECT_NE(hits[3].hitString().find(".1700000001.1700003600.3%3B"), std::string::npos);
    EXPECT_EQ(store->peekHits(2).size(), 2u);
}

TEST_F(HitStoreTest, TheCapRefusesTheThousandthAndFirstHit) {
    auto store = open();
    for (unsigned i = 0; i < kTrkMaxStoredHits; ++i) ASSERT_TRUE(store->storeHit("/h" + std::to_string(i), nullptr));
    EXPECT_EQ(store->peekHits(-1).size(), 1000u);
    TrkError error;
    TrkEvent e = pageView();
    EXPECT_FALSE(store->persistEvent(e, &error));
    EXPECT_EQ(error, (TrkError{"org.trkanalytics.TrkPersistentEventStoreError", 0xBADE7A9}));
    EXPECT_EQ(query(path, "SELECT COUNT(*) FROM hits"), (std::vector<std::string>{"1000"}));
    // The cap counts the file's rows, also after reopening.
    store.reset();
    store = open();
    EXPECT_FALSE(store->persistEvent(e, nullptr));
    ASSERT_TRUE(store->deleteHit(store->peekHits(1)[0].hitId()));
    EXPECT_TRUE(store->persistEvent(e, nullptr));
}

TEST_F(HitStoreTest, DeletingCountsOnlyRealDeletes) {
    auto store = open();
    TrkEvent e = pageView();
    ASSERT_TRUE(store->persistEvent(e, nullptr));
    uint64_t id = store->peekHits(1)[0].hitId();
    ASSERT_EQ(store->storedHits(), 1u);
    EXPECT_TRUE(store->deleteHit(id));
    EXPECT_EQ(store->storedHits(), 0u);
    // Deleting it again, or a hit that never was, leaves the count alone:
    // it must not wrap around and make the store look full.
    EXPECT_TRUE(store->deleteHit(id));
    EXPECT_TRUE(store->deleteHit(999999));
    EXPECT_EQ(store->storedHits(), 0u);
    TrkEvent again = pageView();
    EXPECT_TRUE(store->persistEvent(again, nullptr));
    EXPECT_EQ(store->storedHits(), 1u);
}

TEST_F(HitStoreTest, SamplingByVisitorId) {
    auto store = open();
    struct Case {
        unsigned rate;
        int visitor;
        bool kept;
    } cases[] = {
        {50, 120000, true}, {50, 124999, true}, {50, 125000, false}, {50, 129999, false},
        {0, 0, false},      {100, 9999, true},  {1, 99, true},       {1, 100, false},
    };
    unsigned expected = 0;
    for (const auto& c : cases) {
        store->setSampleRate(c.rate);
        TrkEvent e = pageView();
        e.setVisitorId(c.visitor);
        TrkError error{"none", 0};
        EXPECT_TRUE(store->persistEvent(e, &error)) << c.rate << " " << c.visitor;
        EXPECT_EQ(error.code, 0);
        if (c.kept) ++expected;
        EXPECT_EQ(store->storedHits(), expected) << c.rate << " " << c.visitor;
    }

    // Without an id of its own the event is sampled by the store's id.
    store.reset();
    exec(path, "UPDATE session SET store_id=7775000");
    store = open();
    ASSERT_EQ(store->storeID(), 7775000);
    store->setSampleRate(50);
    TrkEvent out = pageView();
    EXPECT_TRUE(store->persistEvent(out, nullptr));
    EXPECT_EQ(store->storedHits(), expected);
    store->setSampleRate(51);
    TrkEvent in = pageView();
    EXPECT_TRUE(store->persistEvent(in, nullptr));
    EXPECT_EQ(store->storedHits(), expected + 1);
}

TEST_F(HitStoreTest, TextsAreStoredAsGivenNeverAsSql) {
    auto store = open();
    const std::string nasty = "x'); DROP TABLE hits; --";
    ASSERT_TRUE(store->storeHit(nasty, nullptr));
    auto vars = std::make_shared<TrkCustomVariableBuffer>();
    vars->addCustomVariable(TrkCustomVariable(4, nasty, "v'\"", 1));
    TrkEvent e = pageView();
    e.setCustomVariableBuffer(vars);
    ASSERT_TRUE(store->persistEvent(e, nullptr));
    EXPECT_EQ(store->peekHits(1)[0].hitString(), nasty);
    EXPECT_EQ(query(path, "SELECT cv_scope, cv_name, cv_value FROM custom_var_cache WHERE cv_index=4"),
              (std::vector<std::string>{"1|" + nasty + "|v'\""}));
    EXPECT_EQ(store->visitorCustomVarAtIndex(4), "v'\"");
    EXPECT_EQ(store->visitorCustomVarAtIndex(5), std::nullopt);  // scope 3 rows are not visitor values
    EXPECT_EQ(store->visitorCustomVarAtIndex(99), std::nullopt);
}

TEST_F(HitStoreTest, VisitorVariablesTravelWithTheFirstEventOfAVisit) {
    auto store = open();
    auto vars = std::make_shared<TrkCustomVariableBuffer>();
    vars->addCustomVariable(TrkCustomVariable(2, "member", "gold", 1));
    TrkEvent first = pageView();
    first.setCustomVariableBuffer(vars);
    ASSERT_TRUE(store->persistEvent(first, nullptr));
    TrkEvent second = pageView();
    ASSERT_TRUE(store->persistEvent(second, nullptr));
    store->startNewSession();
    TrkEvent nextVisit = pageView();
    ASSERT_TRUE(store->persistEvent(nextVisit, nullptr));
    auto hits = store->peekHits(-1);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_NE(hits[0].hitString().find("&utme=8(2!member)9(2!gold)11(2!1)"), std::string::npos);
    EXPECT_EQ(hits[1].hitString().find("utme"), std::string::npos);
    EXPECT_NE(hits[2].hitString().find("&utme=8(2!member)9(2!gold)11(2!1)"), std::string::npos);
}

TEST_F(HitStoreTest, Referrers) {
    struct Case {
        std::string query;
        TrkText stored;
    } cases[] = {
        {"utm_source=src&utm_medium=cpc", std::nullopt},
        {"gclid=", ""},  // present but empty: accepted, nothing to write
        {"gclid", std::nullopt},
        {"gclid=abc", "utmgclid=abc"},
        {"utm_campaign=spring+sale&utm_medium=mail&utm_source=news letter&utm_term=&utm_id=9&x=1",
         "utmcid=9|utmcsr=news%20letter|utmccn=spring%20sale|utmcmd=mail"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrkPersistentHitStore::formatReferrer(c.query), c.stored) << c.query;
    }
    EXPECT_EQ(TrkPersistentHitStore::formatReferrer(std::nullopt), std::nullopt);

    auto store = open();
    TrkError error;
    EXPECT_FALSE(store->setReferrer(std::string("utm_source=src&utm_medium=cpc"), &error));
    EXPECT_EQ(error, (TrkError{"org.trkanalytics.TrkTrackerError", 0xBADE7A9}));

    ASSERT_TRUE(store->setReferrer(std::string("gclid=abc"), nullptr));
    EXPECT_EQ(query(path, "SELECT * FROM referrer"), (std::vector<std::string>{"utmgclid=abc|0|0|1"}));
    // A second referrer before any hit keeps the index.
    ASSERT_TRUE(store->setReferrer(std::string("gclid=def"), nullptr));
    EXPECT_EQ(query(path, "SELECT * FROM referrer"), (std::vector<std::string>{"utmgclid=def|0|0|1"}));

    TrkEvent e = pageView();
    ASSERT_TRUE(store->persistEvent(e, nullptr));
    EXPECT_EQ(query(path, "SELECT * FROM referrer"), (std::vector<std::string>{"utmgclid=def|1700000000|1|1"}));
    EXPECT_NE(store->peekHits(1)[0].hitString().find("%2B__utmz%3D1.1700000000.1.1.utmgclid%3Ddef%3B"),
              std::string::npos);

    // A new referrer after one was bound: next index, and a new visit.
    clock->advance(100);
    ASSERT_TRUE(store->setReferrer(std::string("gclid=ghi"), nullptr));
    EXPECT_FALSE(store->sessionStarted());
    TrkEvent e2 = pageView();
    ASSERT_TRUE(store->persistEvent(e2, nullptr));
    EXPECT_EQ(store->visits(), 2);
    EXPECT_EQ(query(path, "SELECT * FROM referrer"), (std::vector<std::string>{"utmgclid=ghi|1700000100|2|2"}));

    // A stored referrer that is not bound yet opens the store without a visit.
    ASSERT_TRUE(store->setReferrer(std::string("gclid=jkl"), nullptr));
    store.reset();
    store = open();
    EXPECT_FALSE(store->sessionStarted());
}

TEST_F(HitStoreTest, MigratesTheOlderLayout) {
    exec(path,
         "CREATE TABLE events ( 'event_id' INTEGER PRIMARY KEY, 'random_val' INTEGER NOT NULL, 'timestamp_first' "
         "INTEGER NOT NULL, 'timestamp_previous' INTEGER NOT NULL, 'timestamp_current' INTEGER NOT NULL, 'visits' "
         "INTEGER NOT NULL, 'category' CHAR(256) NOT NULL, 'action' CHAR(256) NOT NULL, 'label' CHAR(256), 'value' "
         "INTEGER);"
         "CREATE TABLE custom_variables (cv_id INTEGER PRIMARY KEY, event_id INTEGER, cv_scope INTEGER, cv_index "
         "INTEGER, cv_name TEXT, cv_value TEXT);"
         "CREATE TABLE transactions (tran_id INTEGER PRIMARY KEY, event_id INTEGER, order_id TEXT, store_name TEXT, "
         "total_cost TEXT, total_tax TEXT, shipping_cost TEXT);"
         "CREATE TABLE items (item_id INTEGER PRIMARY KEY, event_id INTEGER, order_id TEXT, sku TEXT, name TEXT, "
         "category TEXT, price TEXT, count TEXT);"
         "INSERT INTO events VALUES (1, 11, 1600000000, 1600000000, 1600000500, 2, 'cat', 'act', NULL, -1);"
         "INSERT INTO custom_variables VALUES (1, 1, 3, 5, 'n', 'v');"
         "INSERT INTO events VALUES (2, 22, 1600000000, 1600000000, 1600000500, 2, '__##TRKTRANSACTION##__', '', '', "
         "-1);"
         "INSERT INTO transactions VALUES (1, 2, 'o1', 'Shop', '10.5', '1', '0');"
         "INSERT INTO events VALUES (3, 33, 1600000000, 1600000000, 1600000500, 2, '__##TRKITEM##__', '', '', -1);"
         "INSERT INTO items VALUES (1, 3, 'o1', 'S1', 'Book', 'Paper', '2.25', '3');");
    builder->setAccountIDs({"UA-9"});
    auto store = open();
    auto hits = store->peekHits(-1);
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_NE(hits[0].hitString().find("utmn=11&utmt=event&utme=5(cat*act)8(5!n)9(5!v)11(5!3)&"), std::string::npos);
    EXPECT_NE(hits[0].hitString().find(".1600000000.1600000000.1600000500.2%3B"), std::string::npos);
    EXPECT_NE(
        hits[1].hitString().find("utmn=22&utmt=tran&utmtid=o1&utmtst=Shop&utmtto=10.500000&utmttx=1.000000&utmtsp=&"),
        std::string::npos);
    EXPECT_NE(hits[2].hitString().find(
                  "utmn=33&utmt=item&utmtid=o1&utmipc=S1&utmipn=Book&utmiva=Paper&utmipr=2.250000&utmiqt=3&"),
              std::string::npos);
    EXPECT_EQ(store->storedHits(), 3u);
    EXPECT_EQ(query(path,
                    "SELECT name FROM sqlite_master WHERE type='table' AND name IN ('items','transactions',"
                    "'custom_variables')"),
              std::vector<std::string>{});
    EXPECT_EQ(query(path, "SELECT COUNT(*) FROM events"), (std::vector<std::string>{"0"}));
    // Migrated events keep their own visit; the store's visit is not opened.
    EXPECT_FALSE(store->sessionStarted());
}

TEST_F(HitStoreTest, DefaultFileMovesOutOfDocumentsOnce) {
    std::string documents = foundation::documentsDir();
    ASSERT_TRUE(foundation::createDirectories(documents));
    std::string old = foundation::joinPath(documents, "trkanalytics.sql");
    exec(old,
         "CREATE TABLE hits ( 'hit_id' INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, 'hit_string' TEXT NOT NULL);"
         "INSERT INTO hits (hit_string) VALUES ('/old');");
    {
        TrkPersistentHitStore store(builder);
        EXPECT_EQ(TrkPersistentHitStore::defaultPath(),
                  foundation::joinPath(testsupport::home(), "Library/trkanalytics.sql"));
        EXPECT_FALSE(foundation::fileExists(old));
        ASSERT_TRUE(foundation::fileExists(TrkPersistentHitStore::defaultPath()));
        ASSERT_EQ(store.peekHits(-1).size(), 1u);
        EXPECT_EQ(store.peekHits(-1)[0].hitString(), "/old");
    }
    // Both present: the copy in Documents goes, the one in Library stays.
    exec(old, "CREATE TABLE stray (x);");
    {
        TrkPersistentHitStore store(builder);
        EXPECT_FALSE(foundation::fileExists(old));
        EXPECT_EQ(store.storedHits(), 1u);
    }
}

TEST_F(HitStoreTest, AStoreWithoutDatabaseFailsCleanly) {
    std::string dir = testsupport::tempDir("nodb");
    TrkPersistentHitStore store(builder, foundation::joinPath(dir, "missing/sub/hits.sql"));
    EXPECT_EQ(store.database(), nullptr);
    TrkError error;
    TrkEvent e = pageView();
    EXPECT_FALSE(store.persistEvent(e, &error));
    EXPECT_EQ(error, (TrkError{"org.trkanalytics.TrkPersistentEventStoreError", int32_t(0xDEADC0DE)}));
    EXPECT_TRUE(store.peekHits(-1).empty());
    EXPECT_EQ(store.storedHits(), 0u);
    EXPECT_FALSE(store.setReferrer(std::string("gclid=1"), &error));
    EXPECT_EQ(error, (TrkError{"org.trkanalytics.TrkTrackerError", int32_t(0xBADBADDB)}));
}

}  // namespace
