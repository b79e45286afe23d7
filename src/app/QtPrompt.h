#pragma once

#include "app/Prompt.h"

class QWidget;

namespace volumira {

// Message boxes over a parent window.
class QtPrompt : public Prompt {
  public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    bool askWarning(const std::string& text) override;
    bool askQuestion(const std::string& text) override;
    void inform(const std::string& text) override;
    void error(const std::string& text) override;

  private:
    QWidget* parent_;
};

} // namespace volumira
