#include "volumira-server/Similarity.h"

#include "platform/FileUtils.h"
#include "volumira-server/ReadOnlyDatabase.h"

#include <stdexcept>

namespace volumira::server {

Similarity::Similarity(const std::string& path) {
    if (!fileExists(path)) throw std::runtime_error("The similarity database " + path + " does not exist.");
    ReadOnlyDatabase db(path);
    std::vector<int> ids;
    db.query("SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'S%'", [&](const auto& row) {
        const std::string name = row.text(0);
        if (name.size() > 1 && name.size() < 10 &&
            name.find_first_not_of("0123456789", 1) == std::string::npos)
            ids.push_back(std::stoi(name.substr(1)));
    });
    for (const int id : ids) {
        auto& table = structures_[id];
        // Ties keep the order of the second experiment, as the generator wrote them.
        db.query("SELECT experiment1, experiment2, correlation FROM S" + std::to_string(id) +
                     " ORDER BY experiment1, correlation DESC, experiment2",
                 [&](const auto& row) {
                     table[static_cast<int>(row.integer(0))].push_back(
                         {static_cast<int>(row.integer(1)), row.real(2)});
                 });
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
