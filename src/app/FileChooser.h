#pragma once

#include "document/GeneFiles.h"

#include <optional>
#include <string>

class QWidget;

namespace volumira {

// The file dialogs of the gene commands, behind an interface so that tests choose without a human.
class FileChooser : public SaveLocationChooser {
  public:
    // A gene file to open; nothing when cancelled.
    virtual std::optional<std::string> chooseOpenPath() = 0;
    // A gene list (comma-separated) to import; nothing when cancelled.
    virtual std::optional<std::string> chooseGeneListPath() = 0;
};

// The platform's file dialogs over a parent window.
class QtFileChooser : public FileChooser {
  public:
    explicit QtFileChooser(QWidget* parent) : parent_(parent) {}
    std::optional<std::string> chooseOpenPath() override;
    std::optional<std::string> chooseGeneListPath() override;
    std::optional<std::string> chooseSavePath(const GeneExpression& gene) override;

  private:
    QWidget* parent_;
};

} // namespace volumira
