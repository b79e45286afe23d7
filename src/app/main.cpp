// volumira: the viewer. Opens the main window on the reference atlas and adds the genes of the ".xpr"
// files named on the command line.

#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraView.h"
#include "app/QSettingsStore.h"
#include "app/QtPrompt.h"
#include "atlas/ReferenceAtlas.h"
#include "document/CVolumiraDoc.h"
#include "platform/MemoryPolicy.h"
#include "preferences/UserPreferences.h"
#include "search/SearchConfig.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>

using namespace volumira;

namespace {

constexpr const char* kMissingFiles =
    "Volumira could not launch because one or more files are missing. Please try reinstalling the application.";

// Unpacks the atlas volumes on the first start, with a box whose "Quit" ends the program.
bool ensureAtlasUnpacked(ReferenceAtlas& atlas, Prompt& prompt) {
    if (atlas.isUnpacked()) return true;
    QProgressDialog progress("Unpacking reference atlas...", "Quit", 0, 100);
    progress.setWindowTitle("Volumira");
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(0);
    std::atomic<bool> cancel{false};
    auto report = [](float fraction, void* data) {
        auto* dialog = static_cast<QProgressDialog*>(data);
        dialog->setValue(static_cast<int>(fraction * 100.0f));
        QCoreApplication::processEvents();
    };
    QObject::connect(&progress, &QProgressDialog::canceled, [&] {
        progress.setLabelText("Cleaning up...");
        cancel = true;
    });
    try {
        return atlas.unpack(report, &progress, &cancel) && !cancel;
    } catch (const std::exception& e) {
        if (!cancel) prompt.error(e.what());
        return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    configureAllocator();
    UserPreferences::useStore(std::make_unique<QSettingsStore>());
    UserPreferences& preferences = UserPreferences::instance();
    CGLView::configureSurfaceFormat(preferences);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Volumira");
    QApplication::setOrganizationName("Tessaly Institute");
    QtPrompt prompt;
    ReferenceAtlas* atlas = nullptr;
    try {
        // Only the coarse annotation, colour maps and ontology: the fine volumes wait for the first section.
        atlas = &ReferenceAtlas::instance();
        SearchConfig::instance();
    } catch (...) {
        prompt.error(kMissingFiles);
        return 1;
    }
    QSettingsStore store;
    try {
        CVolumiraDoc document(preferences, store);
        document.detailModel().showSearchableStructures(atlas->ontology());
        CMainFrame frame(document, *atlas, preferences, prompt);
        for (const QString& argument : QApplication::arguments().mid(1))
            if (!frame.openGeneFile(argument.toStdString())) return 1;
        if (!ensureAtlasUnpacked(*atlas, prompt)) return 1;
        frame.show();
        // The display is judged once its context exists, which showing the window creates.
        QTimer::singleShot(0, &frame, [&] {
            bool usable = true;
            try {
                usable = frame.view().dataView().checkDisplay();
            } catch (const std::exception& e) {
                prompt.error(e.what());
                usable = false;
            }
            if (!usable) application.exit(1);
        });
        return application.exec();
    } catch (const std::exception& e) {
        prompt.error(e.what());
        return 1;
    }
}
