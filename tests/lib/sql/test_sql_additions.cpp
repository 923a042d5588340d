// Single-value queries and schema questions.
#include <gtest/gtest.h>

#include "lib/sql/SqlDatabase.h"
#include "tests/lib/sql/SqlTestSupport.h"

using foundation::Value;

namespace {

class SqlAdditions : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(db.executeUpdate("create table People(id integer primary key, Name text, born real, pic blob)"));
        ASSERT_TRUE(db.executeUpdate("create table victim(a)"));
        ASSERT_TRUE(db.executeUpdate("insert into People(Name, born, pic) values (?, ?, ?), (?, ?, ?)",
                                     {"ann", 1.5, foundation::Bytes{1, 2}, "bob", Value(), Value()}));
    }
    SqlDatabase db{dbPath()};
};

}  // namespace

TEST_F(SqlAdditions, SingleValuesOfTheFirstRow) {
    EXPECT_EQ(db.stringForQuery("select Name from People order by id"), "ann");
    EXPECT_EQ(db.stringForQuery("select Name from People where id = ?", {2}), "bob");
    EXPECT_EQ(db.intForQuery("select count(*) from People"), 2);
    EXPECT_EQ(db.longForQuery("select 1 << 40"), 1L << 40);
    EXPECT_TRUE(db.boolForQuery("select 5"));
    EXPECT_DOUBLE_EQ(db.doubleForQuery("select born from People where Name = ?", {"ann"}), 1.5);
    EXPECT_EQ(db.dataForQuery("select pic from People where id = 1"), (foundation::Bytes{1, 2}));
    EXPECT_DOUBLE_EQ(db.dateForQuery("select born from People where id = 1")->seconds, 1.5);
    EXPECT_FALSE(db.hasOpenResultSets());

    // No row, or a NULL column, gives nothing.
    EXPECT_EQ(db.intForQuery("select id from People where id = 99"), 0);
    EXPECT_EQ(db.longForQuery("select id from People where id = 99"), 0);
    EXPECT_FALSE(db.boolForQuery("select id from People where id = 99"));
    EXPECT_EQ(db.doubleForQuery("select born from People where id = 99"), 0.0);
    EXPECT_EQ(db.stringForQuery("select Name from People where id = 99"), std::nullopt);
    EXPECT_EQ(db.dataForQuery("select pic from People where id = 2"), std::nullopt);
    EXPECT_EQ(db.dateForQuery("select born from People where id = 2"), std::nullopt);
    // A bad query gives nothing as well.
    EXPECT_EQ(db.intForQuery("select nothing from nowhere"), 0);
    EXPECT_FALSE(db.hasOpenResultSets());
}

TEST_F(SqlAdditions, TablesAndColumns) {
    EXPECT_TRUE(db.tableExists("people"));
    EXPECT_TRUE(db.tableExists("PEOPLE"));
    EXPECT_FALSE(db.tableExists("nobody"));
    EXPECT_TRUE(db.columnExists("People", "name"));
    EXPECT_TRUE(db.columnExists("people", "PIC"));
    EXPECT_FALSE(db.columnExists("People", "age"));
    EXPECT_FALSE(db.columnExists("nobody", "name"));

    auto columns = db.getTableSchema("People");
    ASSERT_TRUE(columns);
    std::vector<std::string> names;
    while (columns->next()) names.push_back(*columns->stringForColumn("name"));
    EXPECT_EQ(names, (std::vector<std::string>{"id", "Name", "born", "pic"}));

    ASSERT_TRUE(db.executeUpdate("create index byName on People(Name)"));
    auto schema = db.getSchema();
    ASSERT_TRUE(schema);
    std::vector<std::string> rows;
    while (schema->next()) rows.push_back(*schema->stringForColumn("type") + ":" + *schema->stringForColumn("name"));
    EXPECT_EQ(rows, (std::vector<std::string>{"table:People", "index:byName", "table:victim"}));
}

// A caller-given table name is data, never SQL.
TEST_F(SqlAdditions, HostileTableNamesCannotChangeTheStatement) {
    const std::vector<std::string> names = {
        "x'); drop table victim; --",
        "x\"); drop table victim; --",
        "People') union select 1,'victim',3,4,5,6 --",
        "victim; drop table victim",
    };
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(db.tableExists(name));
        EXPECT_FALSE(db.columnExists(name, "victim"));
        auto rs = db.getTableSchema(name);
        if (rs) {
            EXPECT_FALSE(rs->next());
        }
        EXPECT_TRUE(db.tableExists("victim"));
    }
    // A name that needs quoting still works.
    ASSERT_TRUE(db.executeUpdate("create table \"odd 'name\"\"\"(c)"));
    EXPECT_TRUE(db.tableExists("odd 'name\""));
    EXPECT_TRUE(db.columnExists("odd 'name\"", "C"));
}

TEST_F(SqlAdditions, ValidateSql) {
    EXPECT_TRUE(db.validateSQL("select * from People where id = ?"));
    SqlError error;
    EXPECT_FALSE(db.validateSQL("select * from nowhere", &error));
    EXPECT_EQ(error.code, SQLITE_ERROR);
    EXPECT_EQ(error.message, "no such table: nowhere");
    EXPECT_FALSE(db.validateSQL("selec 1"));
    // Validation runs nothing.
    EXPECT_TRUE(db.validateSQL("delete from People"));
    EXPECT_EQ(db.intForQuery("select count(*) from People"), 2);
}
