#pragma once

#include <QDialog>
#include <string>

class QLabel;

namespace volumira {

// "About Volumira": the program's name, version and build.
class AboutDialog : public QDialog {
  public:
    AboutDialog(const std::string& version, int build, QWidget* parent = nullptr);
    QString versionText() const;

  private:
    QLabel* version_;
};

} // namespace volumira
