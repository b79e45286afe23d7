#include "app/AboutDialog.h"

#include "document/HelpCommands.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace volumira {

AboutDialog::AboutDialog(const std::string& version, int build, QWidget* parent)
    : QDialog(parent), version_(new QLabel(QString::fromStdString(aboutVersionText(version, build)))) {
    setObjectName("AboutDialog");
    setWindowTitle("About Volumira");
    version_->setObjectName("VersionText");
    auto* title = new QLabel("<b>Volumira</b>");
    auto* text = new QLabel("A viewer for the Tessaly Brain Atlas of the adult mouse brain and the gene "
                            "expression registered to it.");
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version_);
    layout->addWidget(text);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}

QString AboutDialog::versionText() const { return version_->text(); }

} // namespace volumira
