#include "search/CorranaDatabase.h"

#include "expression/GeneExpression.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"
#include "preferences/UserPreferences.h"
#include "search/PagedGeneList.h"
#include "storage/SqlStatement.h"

#include <memory>
#include <sqlite3.h>
#include <stdexcept>

namespace volumira {

namespace {

constexpr const char* kLookupFailed = "Error looking up similar genes.";

std::string similarGenesSql(int structureId, int limit) {
    const std::string table = "S" + std::to_string(structureId);
    std::string sql = "SELECT Experiments.name, Experiments.symbol, Experiments.experimentId, "
                      "Experiments.imageSeriesId, Experiments.geneId, " +
                      table + ".correlation FROM " + table + " INNER JOIN Experiments on " + table +
                      ".experiment2 = Experiments.experimentId WHERE " + table +
                      ".experiment1 = (select experimentId from Experiments where imageSeriesId = ?) "
                      "order by " +
                      table + ".correlation desc";
    if (limit > 0) sql += " LIMIT " + std::to_string(limit);
    sql += ";";
    return sql;
}

} // namespace

std::string CorranaDatabase::defaultPath() {
    return dataDirectory() + kCorrelationDatabaseFile;
}

bool CorranaDatabase::isAvailable() {
    static const bool available = [] {
        try {
            return fileExists(defaultPath());
        } catch (const std::exception&) {
            // Without a program directory there is no installed database either.
            return false;
        }
    }();
    return available;
}

CorranaDatabase::CorranaDatabase() : CorranaDatabase(defaultPath()) {}

CorranaDatabase::CorranaDatabase(const std::string& path) : database_(path) {}

CorranaDatabase::~CorranaDatabase() = default;

void CorranaDatabase::checkResult(int code, const std::string& message) {
    if (code == SQLITE_OK) return;
    throw std::runtime_error(message + "\n" + sqlite3_errmsg(database_.handle()));
}

void CorranaDatabase::findSimilarGenes(int seriesId, int structureId, PagedGeneList& list, int limit) {
    try {
        SqlStatement query(database_, similarGenesSql(structureId, limit));
        if (!query.prepareNext()) throw std::runtime_error(kLookupFailed);
        checkResult(query.bindInt(1, seriesId), kLookupFailed);
        const bool experimentLookup = !UserPreferences::instance().experimentGridLookupUrl().empty();
        while (query.step()) {
            GeneExpression::GeneListLine line;
            line.name = query.columnText(0);
            line.symbol = query.columnText(1);
            line.experimentId = query.columnInt(2);
            line.imageSeriesId = query.columnInt(3);
            line.geneId = query.columnInt(4);
            line.score = static_cast<float>(query.columnDouble(5));
            list.appendResult(std::make_unique<GeneExpression>(line, experimentLookup));
        }
        query.finalize();
        list.setTotal(list.size());
    } catch (const std::exception& e) {
        list.queryFailed(nullptr, e.what());
    } catch (...) {
        list.queryFailed(nullptr, "Unexpected error while querying local Corrana database.");
    }
}

} // namespace volumira
