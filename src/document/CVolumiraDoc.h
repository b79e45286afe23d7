#pragma once

#include "document/GeneFiles.h"
#include "expression/BrainExpressionModel.h"

#include <functional>
#include <string>

namespace volumira {

class SearchConfig;
class SettingsStore;
class UserPreferences;

// The one document: the detail model shown by the "Detail View" tab and the gene files opened into it.
// Its title never changes, whatever file is opened.
class CVolumiraDoc {
  public:
    static constexpr const char* kTitle = "Tessaly Brain Atlas";

    // The search configuration of the moment: an update from the server may replace it during a run.
    using SearchConfigSource = std::function<const SearchConfig&()>;

    // The preferences and store must outlive the document.
    CVolumiraDoc(UserPreferences& preferences, SettingsStore& store, SearchConfigSource searchConfig)
        : settings_(store), searchConfig_(std::move(searchConfig)), detailModel_(preferences),
          files_(detailModel_, store) {
        // The user chooses among the document's genes: the one added last or picked in the scene is current.
        detailModel_.setTracksCurrentGene(true);
    }

    BrainExpressionModel& detailModel() { return detailModel_; }
    GeneFiles& files() { return files_; }
    // Where the window keeps what it remembers besides the preferences (its bars).
    SettingsStore& settings() { return settings_; }
    const SearchConfig& searchConfig() const { return searchConfig_(); }
    const SearchConfigSource& searchConfigSource() const { return searchConfig_; }
    std::string title() const { return kTitle; }

  private:
    SettingsStore& settings_;
    SearchConfigSource searchConfig_;
    BrainExpressionModel detailModel_;
    GeneFiles files_;
};

} // namespace volumira
