#pragma once

#include "document/RecentFileList.h"

#include <functional>
#include <optional>
#include <span>
#include <string>

namespace volumira {

class BrainExpressionModel;
class GeneExpression;
class SettingsStore;

// Asks where to save one gene; nothing when the user cancels.
class SaveLocationChooser {
  public:
    virtual ~SaveLocationChooser() = default;
    virtual std::optional<std::string> chooseSavePath(const GeneExpression& gene) = 0;
};

// Opening, saving and closing the gene files of the detail model, with the recent-file list and the
// remembered path of the last file opened.
class GeneFiles {
  public:
    // Both must outlive this object.
    GeneFiles(BrainExpressionModel& model, SettingsStore& store);

    // Adds the file's gene to the model and lists the file first among the recent ones, by its absolute,
    // resolved path (a relative one counts from the working directory). Asking again for the file opened
    // last, by any name, does nothing until Close Gene. Returns the message to show, empty when the file
    // opened (or nothing was to be done).
    std::string open(const std::string& path);
    // Removes the genes of these rows (any order), from the last row to the first, and forgets the
    // remembered path.
    void close(std::span<const int> rows);
    // Offers a save for each row in ascending order; a cancel ends the command. Returns the message of
    // the first failure, which also ends it; empty otherwise. busy(true) and busy(false) enclose each
    // write (the window shows its wait cursor), never a dialog or the returned message.
    std::string save(std::span<const int> rows, SaveLocationChooser& chooser,
                     const std::function<void(bool)>& busy = nullptr);

    const std::string& rememberedPath() const { return remembered_; }
    RecentFileList& recentFiles() { return recent_; }

  private:
    BrainExpressionModel& model_;
    RecentFileList recent_;
    std::string remembered_;
};

} // namespace volumira
