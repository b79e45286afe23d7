#pragma once

#include "app/Prompt.h"

#include <memory>

class QMessageBox;
class QWidget;

namespace volumira {

enum class PromptBox { Warning, Question, Information, Error };

// The box a prompt shows for this kind of message, built but not yet shown: icon, text, buttons and the
// button that Enter presses.
std::unique_ptr<QMessageBox> makePromptBox(PromptBox kind, QWidget* parent, const std::string& text);

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
