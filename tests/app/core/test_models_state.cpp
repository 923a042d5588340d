// The binding-state check against a real store file.
#include <gtest/gtest.h>

#include "app/core/CheckPersonState.h"
#include "app/core/DBController.h"
#include "app/core/StoreKeys.h"
#include "platform/foundation/Paths.h"

namespace {

TEST(CheckPersonState, OtherStatesPassAndTouchNothing) {
    for (const char* state : {"0", "2", "3", "", "null", "(null)", "11", " 1"}) {
        EXPECT_TRUE(CheckPersonState::checkPersonState(state)) << state;
        EXPECT_FALSE(DBController::databaseExit()) << state;
    }
    {
        DBController db;
        ASSERT_TRUE(db.initDatabase());
        ASSERT_TRUE(db.InsertTable(StoreKeys::state, "2"));
    }
    EXPECT_TRUE(CheckPersonState::checkPersonState("2"));
    EXPECT_TRUE(DBController::databaseExit());
}

TEST(CheckPersonState, StateOneDropsTheStore) {
    {
        DBController db;
        ASSERT_TRUE(db.initDatabase());
        ASSERT_TRUE(db.InsertTable(StoreKeys::state, "1"));
        ASSERT_TRUE(db.InsertTable(StoreKeys::uuid, "u-1"));
    }
    ASSERT_TRUE(DBController::databaseExit());
    EXPECT_FALSE(CheckPersonState::checkPersonState("1"));
    EXPECT_FALSE(DBController::databaseExit());
    EXPECT_FALSE(foundation::fileExists(DBController::getPath()));
}

TEST(CheckPersonState, StateOneWithoutAStoreLeavesNone) {
    // The controller makes the file while it opens it; it is deleted again.
    EXPECT_FALSE(CheckPersonState::checkPersonState("1"));
    EXPECT_FALSE(DBController::databaseExit());
}

}  // namespace
