#include "app/QtPrompt.h"

#include <QMessageBox>

namespace volumira {

namespace {
const char* const kTitle = "Volumira";
// Shown for an error that came without a text, so that the box never stands empty.
const char* const kNoErrorText = "An error occured while translating an application message.";

bool askedYes(PromptBox kind, QWidget* parent, const std::string& text) {
    return makePromptBox(kind, parent, text)->exec() == QMessageBox::Yes;
}
} // namespace

std::unique_ptr<QMessageBox> makePromptBox(PromptBox kind, QWidget* parent, const std::string& text) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(kTitle);
    // Messages carry file names and server texts: a '<' in them is text, not markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromStdString(text));
    switch (kind) {
    case PromptBox::Warning:
    case PromptBox::Question:
        box->setIcon(kind == PromptBox::Warning ? QMessageBox::Warning : QMessageBox::Question);
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        // Enter must not answer Yes to a question the user has not read.
        box->setDefaultButton(QMessageBox::No);
        break;
    case PromptBox::Information:
        box->setIcon(QMessageBox::Information);
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        break;
    case PromptBox::Error:
        box->setIcon(QMessageBox::Warning);
        box->setStandardButtons(QMessageBox::Ok);
        box->setDefaultButton(QMessageBox::Ok);
        if (text.empty()) box->setText(kNoErrorText);
        break;
    }
    return box;
}

bool QtPrompt::askWarning(const std::string& text) { return askedYes(PromptBox::Warning, parent_, text); }

bool QtPrompt::askQuestion(const std::string& text) { return askedYes(PromptBox::Question, parent_, text); }

void QtPrompt::inform(const std::string& text) { makePromptBox(PromptBox::Information, parent_, text)->exec(); }

void QtPrompt::error(const std::string& text) { makePromptBox(PromptBox::Error, parent_, text)->exec(); }

} // namespace volumira
