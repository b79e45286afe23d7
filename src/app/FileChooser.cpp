#include "app/FileChooser.h"

#include "expression/GeneExpression.h"

#include <QFileDialog>

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
    QFileDialog dialog(parent_, "Save As", QString(), "Gene Expression Files (*.xpr);;All Files (*.*)");
    dialog.setObjectName("SaveGeneDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog adds the extension before it asks about replacing an existing file, so the question names
    // the file that will be written. Desktop dialogs add it only after they have asked about the name as
    // typed, so the toolkit's own dialog is used.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix("xpr");
    dialog.selectFile(QString::fromStdString(gene.suggestedFileName()));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty()) return std::nullopt;
    return files.first().toStdString();
}

} // namespace volumira
