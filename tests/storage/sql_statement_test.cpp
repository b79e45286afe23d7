#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <ostream>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace volumira {
namespace {

class SqlStatementTest : public testing::Test {
  protected:
    SqlStatementTest() : db_(dir_.file("statements.db")) {}

    int count(const std::string& table) {
        SqlStatement query(db_, "SELECT count(*) FROM " + table + ";");
        EXPECT_TRUE(query.prepareNext());
        EXPECT_TRUE(query.step());
        return query.columnInt(0);
    }

    test::TempDir dir_;
    SqlDatabase db_;
};

struct TextCase {
    const char* name;
    const char* sql;
    int rows; // rows of table t afterwards
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class SqlStatementTexts : public SqlStatementTest, public testing::WithParamInterface<TextCase> {};

TEST_P(SqlStatementTexts, ExecuteAllRunsEveryStatementAndStopsAtTheEnd) {
    SqlStatement(db_, "CREATE TABLE t (a INTEGER);").executeAll();
    SqlStatement statement(db_, GetParam().sql);
    statement.executeAll();
    EXPECT_EQ(statement.handle(), nullptr);
    EXPECT_FALSE(statement.prepareNext());
    EXPECT_FALSE(statement.step());
    EXPECT_EQ(count("t"), GetParam().rows);
}

const TextCase kTextCases[] = {
    {"Empty", "", 0},
    {"OnlyBlanks", "  \n\t ", 0},
    {"OnlyComment", "-- nothing here\n", 0},
    {"TrailingBlanks", "INSERT INTO t VALUES (1);INSERT INTO t VALUES (2);  \n\t\r\n ", 2},
    {"TrailingLineComment", "INSERT INTO t VALUES (1); INSERT INTO t VALUES (2); -- done\n", 2},
    {"TrailingBlockComment", "INSERT INTO t VALUES (1);\n/* the end */  ", 1},
    {"NoFinalSemicolon", "INSERT INTO t VALUES (1);INSERT INTO t VALUES (2)", 2},
    {"RowsInBetweenAreDiscarded", "INSERT INTO t VALUES (1);SELECT * FROM t;INSERT INTO t VALUES (2);", 2},
    {"Transaction", "BEGIN TRANSACTION;INSERT INTO t VALUES (1);INSERT INTO t VALUES (2);COMMIT;", 2},
};

INSTANTIATE_TEST_SUITE_P(Cases, SqlStatementTexts, testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ErrorCase {
    const char* name;
    const char* sql;
    const char* message;
    int rowsBefore; // rows that statements before the faulty one wrote into table t
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class SqlStatementErrors : public SqlStatementTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(SqlStatementErrors, SurfaceSqliteMessage) {
    SqlStatement(db_, "CREATE TABLE t (a INTEGER UNIQUE);").executeAll();
    SqlStatement statement(db_, GetParam().sql);
    try {
        statement.executeAll();
        FAIL() << "no error raised";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
    EXPECT_EQ(count("t"), GetParam().rowsBefore);
}

const ErrorCase kErrorCases[] = {
    {"Syntax", "SELEC 1;", "near \"SELEC\": syntax error", 0},
    {"MissingTable", "INSERT INTO t VALUES (1);INSERT INTO missing VALUES (1);", "no such table: missing", 1},
    // A constraint failure is neither a row, nor done: it must end the run rather than be stepped again.
    {"Constraint", "INSERT INTO t VALUES (1);INSERT INTO t VALUES (1);", "UNIQUE constraint failed: t.a", 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, SqlStatementErrors, testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SqlStatementTest, StepsThroughRowsWithBindingsAndColumns) {
    SqlStatement(db_, "CREATE TABLE g (symbol TEXT, id INTEGER, score REAL);"
                      "INSERT INTO g VALUES ('Gad1', 7, 0.5), ('Pvalb', 9, 0.25), (NULL, 7, 1.5);")
        .executeAll();
    SqlStatement query(db_, "SELECT symbol, id, score FROM g WHERE id = ? ORDER BY score;");
    EXPECT_NE(query.bindInt(1, 7), SQLITE_OK); // nothing prepared yet
    ASSERT_TRUE(query.prepareNext());
    ASSERT_NE(query.handle(), nullptr);
    ASSERT_EQ(query.bindInt(1, 7), SQLITE_OK);
    ASSERT_TRUE(query.step());
    EXPECT_EQ(query.columnText(0), "Gad1");
    EXPECT_EQ(query.columnInt(1), 7);
    EXPECT_DOUBLE_EQ(query.columnDouble(2), 0.5);
    ASSERT_TRUE(query.step());
    EXPECT_EQ(query.columnText(0), ""); // NULL reads as empty
    EXPECT_DOUBLE_EQ(query.columnDouble(2), 1.5);
    EXPECT_FALSE(query.step());
    EXPECT_FALSE(query.prepareNext());

    SqlStatement byName(db_, "SELECT id FROM g WHERE symbol = ?;");
    ASSERT_TRUE(byName.prepareNext());
    ASSERT_EQ(byName.bindText(1, "Pvalb"), SQLITE_OK);
    ASSERT_TRUE(byName.step());
    EXPECT_EQ(byName.columnInt(0), 9);
    EXPECT_FALSE(byName.step());
}

TEST(SqlStatementClosed, PreparingOnAClosedDatabaseIsAnError) {
    SqlDatabase closed;
    SqlStatement statement(closed, "SELECT 1;");
    EXPECT_THROW(statement.prepareNext(), std::runtime_error);
    EXPECT_FALSE(statement.step());
    EXPECT_EQ(statement.columnInt(0), 0);
    EXPECT_EQ(statement.columnText(0), "");
}

} // namespace
} // namespace volumira
