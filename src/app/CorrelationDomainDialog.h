#pragma once

#include "document/SearchCommands.h"

#include <QDialog>
#include <functional>

class QListWidget;
class QRadioButton;

namespace volumira {

class SearchConfig;

// Asks where a similar-gene search compares: one of the similar-gene domains of the search configuration,
// and the planes of section. The choice is kept for the next opening during this run.
class CorrelationDomainDialog : public QDialog {
  public:
    // The plane sets of the search service.
    static constexpr int kCoronal = 2, kSagittal = 1, kBoth = 3;

    CorrelationDomainDialog(const SearchConfig& config, QWidget* parent = nullptr);
    // The chosen domain's structure id; -1 when none is chosen.
    int structureId() const { return structureId_; }
    int planes() const { return planes_; }

    QListWidget& domainList() { return *list_; }

    void accept() override;

  private:
    QListWidget* list_;
    QRadioButton *coronal_, *sagittal_, *both_;
    std::vector<int> ids_;
    int structureId_ = -1;
    int planes_ = kCoronal;
};

// Asks with the dialog, over the search configuration of the moment.
class CorrelationDomainChooser : public SimilarDomainChooser {
  public:
    CorrelationDomainChooser(std::function<const SearchConfig&()> config, QWidget* parent)
        : config_(std::move(config)), parent_(parent) {}
    std::optional<SimilarDomain> chooseSimilarDomain() override;

  private:
    std::function<const SearchConfig&()> config_;
    QWidget* parent_;
};

} // namespace volumira
