#include "ListRecorder.h"
#include "search/CorranaDatabase.h"
#include "search/PagedGeneList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

namespace volumira {
namespace {

using Listener = PagedGeneListListener;

// Series 101..115 (experiments 1..15, genes 501..515); table S688 pairs experiment 1 with every one,
// itself included, correlation falling with the number; S549 exists empty.
class CorranaDatabaseTest : public testing::Test {
  protected:
    CorranaDatabaseTest() : path_(dir_.file("GLM.db")) {
        std::string sql = "BEGIN;CREATE TABLE Experiments (name TEXT, symbol TEXT, experimentId INTEGER, "
                          "imageSeriesId INTEGER, geneId INTEGER);"
                          "CREATE TABLE S688 (experiment1 INTEGER, experiment2 INTEGER, correlation REAL);"
                          "CREATE TABLE S549 (experiment1 INTEGER, experiment2 INTEGER, correlation REAL);";
        for (int e = 1; e <= 15; ++e) {
            const std::string n = std::to_string(e);
            sql += "INSERT INTO Experiments VALUES ('gene " + n + "', 'G" + n + "', " + n + ", " +
                   std::to_string(100 + e) + ", " + std::to_string(500 + e) + ");";
            // Inserted in a scrambled order so that the ordering is the query's.
            const int other = (e * 7) % 15 + 1;
            sql += "INSERT INTO S688 VALUES (1, " + std::to_string(other) + ", " +
                   std::to_string(1.0 - other / 20.0) + ");";
        }
        sql += "INSERT INTO S688 VALUES (2, 3, 0.5);COMMIT;";
        // Written with SQLite itself: the wrapper would add its version table.
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }

    test::TempDir dir_;
    std::string path_;
    PagedGeneList list_{"0310", 10};
};

TEST_F(CorranaDatabaseTest, LimitedResultsComeHighestFirstWithTheSeriesItself) {
    test::ListRecorder recorder(list_);
    CorranaDatabase(path_).findSimilarGenes(101, 688, list_, 11);
    ASSERT_EQ(list_.size(), 11);
    EXPECT_TRUE(list_.totalKnown());
    for (int i = 0; i < 11; ++i) {
        const GeneExpression* g = list_.result(i);
        EXPECT_EQ(g->experimentId(), i + 1);
        EXPECT_EQ(g->imageSeriesId(), 101 + i);
        EXPECT_EQ(g->geneId(), 501 + i);
        EXPECT_EQ(g->symbol(), "G" + std::to_string(i + 1));
        EXPECT_EQ(g->name(), "gene " + std::to_string(i + 1));
        EXPECT_FLOAT_EQ(g->score(), static_cast<float>(1.0 - (i + 1) / 20.0));
        EXPECT_TRUE(g->isLoadable());
    }
    EXPECT_EQ(recorder.count(Listener::kResultStored), 11);
    EXPECT_EQ(recorder.events.back(), std::make_pair(Listener::kTotalKnown, 0));

    CorranaDatabase(path_).findSimilarGenes(101, 688, list_, 0);
    EXPECT_EQ(list_.size(), 11 + 15);
}

TEST_F(CorranaDatabaseTest, UnknownSeriesGivesAnEmptyFinalList) {
    CorranaDatabase(path_).findSimilarGenes(999, 688, list_, 0);
    EXPECT_EQ(list_.size(), 0);
    EXPECT_TRUE(list_.totalKnown());
    EXPECT_EQ(list_.status(), "");
    CorranaDatabase(path_).findSimilarGenes(101, 549, list_, 0);
    EXPECT_EQ(list_.size(), 0);
}

TEST_F(CorranaDatabaseTest, AStructureWithoutTableReportsSqliteText) {
    CorranaDatabase(path_).findSimilarGenes(101, 1097, list_, 0);
    EXPECT_EQ(list_.status(), "Error: no such table: S1097");
    EXPECT_FALSE(list_.totalKnown());
}

TEST_F(CorranaDatabaseTest, CheckResultAddsTheConnectionsText) {
    CorranaDatabase database(path_);
    EXPECT_NO_THROW(database.checkResult(0, "unused"));
    try {
        database.checkResult(1, "Error looking up similar genes.");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error looking up similar genes.\n", 0), 0u) << e.what();
    }
}

TEST_F(CorranaDatabaseTest, OpeningLeavesTheInstalledFileAlone) {
    { CorranaDatabase database(path_); }
    // Opened through the plain wrapper, the file would have received a version table.
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &handle), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(handle, "SELECT count(*) FROM sqlite_master WHERE name = 'version';", -1,
                                 &stmt, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 0);
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
}

TEST_F(CorranaDatabaseTest, SimilarSearchOfTheListIsAnsweredLocally) {
    list_.setCorrelationDatabase(path_);
    list_.addResult(std::make_unique<GeneExpression>("old", "Old"), 3);
    test::ListRecorder recorder(list_);
    // No server is asked: the address leads nowhere.
    list_.searchSimilar("http://127.0.0.1:1/unused", 101, 688, "Like G1", "0310", 3, 11);
    EXPECT_EQ(list_.size(), 11);
    EXPECT_EQ(list_.title(), "Like G1");
    EXPECT_EQ(list_.status(), "");
    EXPECT_EQ(list_.query(), nullptr);
    EXPECT_EQ(recorder.events.front(), std::make_pair(Listener::kCleared, 0));
    EXPECT_EQ(recorder.events.back(), std::make_pair(Listener::kRequestComplete, 0));
    EXPECT_EQ(list_.statusText(), "     11 experiments, displaying 1-10");

    // A failure stays visible: it is not followed by a completion.
    recorder.events.clear();
    list_.searchSimilar("", 101, 4242, "None", "0310", 3, 0);
    EXPECT_EQ(list_.status(), "Error: no such table: S4242");
    EXPECT_EQ(recorder.count(Listener::kRequestComplete), 0);
    EXPECT_EQ(recorder.events.back(), std::make_pair(Listener::kRequestFailed, 0));

    list_.setCorrelationDatabase(dir_.file("missing/GLM.db"));
    list_.searchSimilar("", 101, 688, "Unopenable", "0310", 3, 0);
    EXPECT_EQ(list_.status(), "Error: Could not open database.");
}

} // namespace
} // namespace volumira
