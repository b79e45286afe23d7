#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace volumira {
namespace {

using test::TempDir;

// Prepares a file with a plain SQLite connection, independent of the wrapper under test.
void runRaw(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

std::vector<int> intColumn(SqlDatabase& db, const std::string& sql) {
    std::vector<int> values;
    SqlStatement query(db, sql);
    while (query.prepareNext())
        while (query.step())
            values.push_back(query.columnInt(0));
    return values;
}

// A derived schema: counts rebuilds and adds a table of its own.
class GeneSchema : public SqlDatabase {
  public:
    void createSchema() override {
        ++rebuilds;
        SqlDatabase::createSchema();
        SqlStatement(*this, "DROP TABLE IF EXISTS genes;CREATE TABLE genes (symbol TEXT);").executeAll();
    }
    int rebuilds = 0;
};

TEST(SqlDatabase, NewOrEmptyFileGetsVersionOneAndTuning) {
    for (const bool preexistingEmptyFile : {false, true}) {
        SCOPED_TRACE(preexistingEmptyFile ? "empty file" : "no file");
        TempDir dir;
        const std::string path = dir.file("new.db");
        if (preexistingEmptyFile) test::writeBytes(path, "");

        SqlDatabase db(path);
        ASSERT_TRUE(db.isOpen());
        EXPECT_EQ(db.path(), path);
        EXPECT_TRUE(db.tableExists("version"));
        EXPECT_EQ(intColumn(db, "SELECT version FROM version;"), std::vector<int>{1});
        EXPECT_EQ(intColumn(db, "PRAGMA page_size;"), std::vector<int>{4096});
        EXPECT_EQ(intColumn(db, "PRAGMA auto_vacuum;"), std::vector<int>{1});
        EXPECT_EQ(intColumn(db, "PRAGMA synchronous;"), std::vector<int>{0});
    }
}

struct SchemaCase {
    const char* name;
    const char* setup;
    bool rebuilt;
};

void PrintTo(const SchemaCase& c, std::ostream* os) {
    *os << c.name;
}

class SqlDatabaseSchema : public testing::TestWithParam<SchemaCase> {};

TEST_P(SqlDatabaseSchema, RebuildsThroughDerivedSchemaUnlessVersionIsCurrent) {
    TempDir dir;
    const std::string path = dir.file("schema.db");
    runRaw(path, std::string(GetParam().setup) + "CREATE TABLE keep (a);");

    GeneSchema db;
    db.open(path);
    EXPECT_EQ(db.rebuilds, GetParam().rebuilt ? 1 : 0);
    EXPECT_EQ(db.tableExists("genes"), GetParam().rebuilt);
    EXPECT_TRUE(db.tableExists("keep"));
    EXPECT_EQ(intColumn(db, "SELECT version FROM version;"), std::vector<int>{1});

    // Once rebuilt, the schema is current and a second open leaves it alone.
    GeneSchema again;
    again.open(path);
    EXPECT_EQ(again.rebuilds, 0);
}

const SchemaCase kSchemaCases[] = {
    {"Current",
     "CREATE TABLE version (version INTEGER PRIMARY KEY DEFAULT 0);INSERT INTO version VALUES (1);", false},
    {"VersionTwo",
     "CREATE TABLE version (version INTEGER PRIMARY KEY DEFAULT 0);INSERT INTO version VALUES (2);", true},
    {"EmptyVersionTable", "CREATE TABLE version (version INTEGER PRIMARY KEY DEFAULT 0);", true},
    {"MissingVersionTable", "", true},
};

INSTANTIATE_TEST_SUITE_P(Cases, SqlDatabaseSchema, testing::ValuesIn(kSchemaCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailedOpenCase {
    const char* name;
    std::string (*makePath)(const TempDir&);
    const char* message;
};

void PrintTo(const FailedOpenCase& c, std::ostream* os) {
    *os << c.name;
}

class SqlDatabaseFailedOpen : public testing::TestWithParam<FailedOpenCase> {};

TEST_P(SqlDatabaseFailedOpen, ThrowsLeavesClosedAndKeepsFileBytes) {
    TempDir dir;
    const std::string path = GetParam().makePath(dir);
    const bool fileExisted = std::filesystem::exists(path);
    const std::string before = fileExisted ? test::readBytes(path) : "";

    // Start from an open database: a failed open must not leave the previous connection behind either.
    SqlDatabase db(dir.file("previous.db"));
    ASSERT_TRUE(db.isOpen());
    try {
        db.open(path);
        FAIL() << "open succeeded";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
    EXPECT_FALSE(db.isOpen());
    EXPECT_EQ(db.handle(), nullptr);
    EXPECT_EQ(db.path(), "");
    EXPECT_THROW(db.tableExists("version"), std::runtime_error);
    if (fileExisted) {
        EXPECT_EQ(test::readBytes(path), before);
    }
}

const FailedOpenCase kFailedOpenCases[] = {
    {"NotADatabase",
     [](const TempDir& dir) {
         const std::string path = dir.file("text.db");
         test::writeBytes(path, std::string(2048, 'x'));
         return path;
     },
     "file is not a database"},
    {"MissingDirectory", [](const TempDir& dir) { return dir.file("no/such/dir/a.db"); },
     "Could not open database."},
    {"EmbeddedNul", [](const TempDir& dir) { return dir.file("a.db") + std::string(1, '\0') + "b"; },
     "Could not open database."},
    {"VersionColumnMissing",
     [](const TempDir& dir) {
         const std::string path = dir.file("odd.db");
         runRaw(path, "CREATE TABLE version (other TEXT);");
         return path;
     },
     "no such column: version"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SqlDatabaseFailedOpen, testing::ValuesIn(kFailedOpenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SqlDatabase, ReopeningSwitchesToTheNewFile) {
    TempDir dir;
    SqlDatabase db(dir.file("a.db"));
    SqlStatement(db, "CREATE TABLE only_in_a (x);").executeAll();
    db.open(dir.file("b.db"));
    EXPECT_EQ(db.path(), dir.file("b.db"));
    EXPECT_FALSE(db.tableExists("only_in_a"));
    EXPECT_TRUE(db.tableExists("version"));
}

TEST(SqlDatabase, SettingsOpenOnlyWithAPath) {
    TempDir dir;
    EXPECT_FALSE(SqlDatabase(SqlDatabaseSettings{}).isOpen());
    SqlDatabase db(SqlDatabaseSettings{dir.file("s.db")});
    EXPECT_TRUE(db.isOpen());
    EXPECT_EQ(db.path(), dir.file("s.db"));
}

TEST(SqlDatabase, TableExistsTreatsTheNameAsData) {
    TempDir dir;
    SqlDatabase db(dir.file("names.db"));
    SqlStatement(db, "CREATE TABLE \"it's\" (x);").executeAll();
    EXPECT_TRUE(db.tableExists("version"));
    EXPECT_TRUE(db.tableExists("it's"));
    EXPECT_FALSE(db.tableExists("missing"));
    // Pasted into the query text, this name would turn the test into "true".
    EXPECT_FALSE(db.tableExists("x' OR '1'='1"));
    EXPECT_FALSE(db.tableExists("version'; DROP TABLE version; --"));
    EXPECT_TRUE(db.tableExists("version"));
}

} // namespace
} // namespace volumira
