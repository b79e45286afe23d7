#include "app/FileChooser.h"

#include "expression/GeneExpression.h"

#include <QFileDialog>
#include <QFileInfo>

namespace volumira {

std::optional<std::string> QtFileChooser::chooseOpenPath() {
    const QString path =
        QFileDialog::getOpenFileName(parent_, "Open", QString(), "Volumira Files (*.xpr);;All Files (*.*)");
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtFileChooser::chooseGeneListPath() {
    QString filter = "Comma Separated Value Files (*.csv)";
    const QString path = QFileDialog::getOpenFileName(
        parent_, "Import Gene List", QString(), "Comma Separated Value Files (*.csv);;All Files (*.*)", &filter);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

std::optional<std::string> QtFileChooser::chooseSavePath(const GeneExpression& gene) {
    QString filter = "Gene Expression Files (*.xpr)";
    QString path = QFileDialog::getSaveFileName(parent_, "Save As", QString::fromStdString(gene.suggestedFileName()),
                                                "Gene Expression Files (*.xpr);;All Files (*.*)", &filter);
    if (path.isEmpty()) return std::nullopt;
    // The default extension, as the dialog of the described platform adds it.
    if (QFileInfo(path).suffix().isEmpty()) path += ".xpr";
    return path.toStdString();
}

} // namespace volumira
