#include "app/ProgressDialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <exception>

namespace volumira {

namespace {

constexpr const char* kInstallFailed =
    "Volumira could not complete its installation at %s. Please make sure you have access permissions at this "
    "location and have 85 MB of free disk space.";

std::string installFailedText(const std::string& directory) {
    std::string text = kInstallFailed;
    text.replace(text.find("%s"), 2, directory);
    return text;
}

} // namespace

ProgressDialog::ProgressDialog(QWidget* parent)
    : QDialog(parent), text_(new QLabel("Unpacking reference atlas...", this)), bar_(new QProgressBar(this)),
      quit_(new QPushButton("Quit", this)) {
    setObjectName("ProgressDialog");
    setWindowTitle("Volumira");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    text_->setObjectName("ProgressText");
    bar_->setObjectName("ProgressBar");
    bar_->setRange(0, 100);
    bar_->setValue(0);
    quit_->setObjectName("QuitButton");
    quit_->setDefault(true);
    connect(quit_, &QPushButton::clicked, this, &ProgressDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_);
    layout->addWidget(bar_);
    layout->addWidget(quit_, 0, Qt::AlignRight);
    // 249 by 63 dialog units.
    setMinimumWidth(374);
}

ProgressDialog::~ProgressDialog() {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

ProgressDialog::Outcome ProgressDialog::run(Unpack unpack, const std::string& atlasDirectory) {
    running_ = true;
    worker_ = std::thread([this, unpack = std::move(unpack), atlasDirectory] {
        End end = End::Stopped;
        std::string error;
        try {
            end = unpack(&ProgressDialog::reportProgress, this, &cancel_) ? End::Unpacked : End::Stopped;
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = installFailedText(atlasDirectory);
        }
        // Quit ends the program whatever the unpacking made of it, and shows nothing.
        if (cancel_) {
            end = End::Stopped;
            error.clear();
        }
        // The last thing the worker does: the box may go as soon as this has run.
        QMetaObject::invokeMethod(
            this, [this, end, error = std::move(error)]() mutable { workerDone(end, std::move(error)); },
            Qt::QueuedConnection);
    });
    exec();
    // The box can also end when the whole program is told to quit: the worker is stopped then.
    if (running_) {
        cancel_ = true;
        outcome_ = {};
    }
    worker_.join();
    running_ = false;
    return outcome_;
}

void ProgressDialog::reportProgress(float fraction, void* data) {
    auto* dialog = static_cast<ProgressDialog*>(data);
    if (!(fraction >= 0.0f)) fraction = 0.0f;
    const int percent = static_cast<int>(std::lround(std::min(fraction, 1.0f) * 100.0f));
    // Only changes travel to the UI thread.
    if (dialog->shownPercent_.exchange(percent) == percent) return;
    QMetaObject::invokeMethod(
        dialog, [dialog, percent] { dialog->bar_->setValue(percent); }, Qt::QueuedConnection);
}

void ProgressDialog::workerDone(End end, std::string error) {
    running_ = false;
    outcome_ = {end, std::move(error)};
    done(static_cast<int>(end));
}

void ProgressDialog::reject() {
    // The box closes when the worker reports, not before.
    if (!running_ || cancel_) return;
    text_->setText("Cleaning up...");
    quit_->setEnabled(false);
    cancel_ = true;
}

} // namespace volumira
