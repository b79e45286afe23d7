#include "document/GeneFiles.h"

#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "platform/FileUtils.h"

#include <algorithm>
#include <exception>
#include <vector>

namespace volumira {

GeneFiles::GeneFiles(BrainExpressionModel& model, SettingsStore& store) : model_(model), recent_(store) {}

std::string GeneFiles::open(const std::string& given) {
    // Every way in (command line, later launches, drops, dialogs, the recent list) may name a file
    // relatively or through a link: one name per file keeps the same-path rule and the recent list sound.
    const std::string path = absolutePath(given);
    if (!remembered_.empty() && path == remembered_) return {};
    const std::string failure = "Gene expression file " + path + " could not be read.";
    try {
        model_.addGeneFromFile(path);
    } catch (const std::exception& e) {
        return failure + "\n" + e.what();
    } catch (...) {
        return failure;
    }
    remembered_ = path;
    recent_.add(path);
    return {};
}

void GeneFiles::close(std::span<const int> rows) {
    std::vector<int> sorted(rows.begin(), rows.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (auto row = sorted.rbegin(); row != sorted.rend(); ++row)
        if (*row >= 0 && *row < model_.geneCount()) model_.removeGene(*row);
    remembered_.clear();
}

std::string GeneFiles::save(std::span<const int> rows, SaveLocationChooser& chooser,
                            const std::function<void(bool)>& busy) {
    // Ends the busy state however the write ends.
    struct BusyScope {
        const std::function<void(bool)>& busy;
        explicit BusyScope(const std::function<void(bool)>& b) : busy(b) {
            if (busy) busy(true);
        }
        ~BusyScope() {
            if (busy) busy(false);
        }
    };
    std::vector<int> sorted(rows.begin(), rows.end());
    std::sort(sorted.begin(), sorted.end());
    for (const int row : sorted) {
        if (row < 0 || row >= model_.geneCount()) continue;
        const GeneExpression& gene = model_.geneAt(row);
        const std::optional<std::string> path = chooser.chooseSavePath(gene);
        if (!path) return {};
        try {
            const BusyScope scope(busy);
            gene.saveExpression(*path);
        } catch (const std::exception& e) {
            return std::string("Could not save gene file.\n") + e.what();
        } catch (...) {
            return "Could not save gene file.";
        }
    }
    return {};
}

} // namespace volumira
