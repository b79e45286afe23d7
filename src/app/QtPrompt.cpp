#include "app/QtPrompt.h"

#include <QMessageBox>

namespace volumira {

namespace {
const char* const kTitle = "Volumira";
}

bool QtPrompt::askWarning(const std::string& text) {
    return QMessageBox::warning(parent_, kTitle, QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

bool QtPrompt::askQuestion(const std::string& text) {
    return QMessageBox::question(parent_, kTitle, QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtPrompt::inform(const std::string& text) {
    QMessageBox::information(parent_, kTitle, QString::fromStdString(text));
}

void QtPrompt::error(const std::string& text) { QMessageBox::critical(parent_, kTitle, QString::fromStdString(text)); }

} // namespace volumira
