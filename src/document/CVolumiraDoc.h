#pragma once

#include "document/GeneFiles.h"
#include "expression/BrainExpressionModel.h"

#include <string>

namespace volumira {

class SettingsStore;
class UserPreferences;

// The one document: the detail model shown by the "Detail View" tab and the gene files opened into it.
// Its title never changes, whatever file is opened.
class CVolumiraDoc {
  public:
    static constexpr const char* kTitle = "Tessaly Brain Atlas";

    // Both must outlive the document.
    CVolumiraDoc(UserPreferences& preferences, SettingsStore& store)
        : settings_(store), detailModel_(preferences), files_(detailModel_, store) {}

    BrainExpressionModel& detailModel() { return detailModel_; }
    GeneFiles& files() { return files_; }
    // Where the window keeps what it remembers besides the preferences (its bars).
    SettingsStore& settings() { return settings_; }
    std::string title() const { return kTitle; }

  private:
    SettingsStore& settings_;
    BrainExpressionModel detailModel_;
    GeneFiles files_;
};

} // namespace volumira
