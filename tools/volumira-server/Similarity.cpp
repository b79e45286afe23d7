#include "volumira-server/Similarity.h"

#include "platform/FileUtils.h"
#include "storage/SqlDatabase.h"
#include "storage/SqlStatement.h"

#include <cctype>
#include <stdexcept>

namespace volumira::server {

Similarity::Similarity(const std::string& path) {
    if (!fileExists(path)) throw std::runtime_error("The similarity database " + path + " does not exist.");
    SqlDatabase db(path);
    std::vector<int> ids;
    {
        SqlStatement tables(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'S%'");
        tables.prepareNext();
        while (tables.step()) {
            const std::string name = tables.columnText(0);
            if (name.size() > 1 && name.find_first_not_of("0123456789", 1) == std::string::npos)
                ids.push_back(std::stoi(name.substr(1)));
        }
    }
    for (const int id : ids) {
        auto& table = structures_[id];
        const std::string s = "S" + std::to_string(id);
        // Ties keep the order of the second experiment, as the generator wrote them.
        SqlStatement rows(db, "SELECT experiment1, experiment2, correlation FROM " + s +
                                  " ORDER BY experiment1, " + "correlation DESC, experiment2");
        rows.prepareNext();
        while (rows.step())
            table[rows.columnInt(0)].push_back({rows.columnInt(1), rows.columnDouble(2)});
    }
}

const std::vector<Correlation>& Similarity::correlations(int structureId, int experimentId) const {
    static const std::vector<Correlation> none;
    const auto table = structures_.find(structureId);
    if (table == structures_.end()) return none;
    const auto found = table->second.find(experimentId);
    return found == table->second.end() ? none : found->second;
}

} // namespace volumira::server
