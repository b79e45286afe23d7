// volumira: the viewer. Opens the 3D scene of the reference atlas and shows the genes of the ".xpr" files
// named on the command line.

#include "app/CGLView.h"
#include "app/QSettingsStore.h"
#include "app/QtPrompt.h"
#include "app/ViewerWindow.h"
#include "atlas/ReferenceAtlas.h"
#include "expression/BrainExpressionModel.h"
#include "platform/MemoryPolicy.h"
#include "preferences/UserPreferences.h"

#include <QApplication>
#include <QProgressDialog>
#include <QTimer>
#include <atomic>
#include <exception>
#include <memory>

using namespace volumira;

namespace {

// Unpacks the atlas on first start and loads its full-scale volumes, with a progress box that can cancel.
bool prepareAtlas(ReferenceAtlas& atlas) {
    QProgressDialog progress("Preparing the reference atlas...", "Cancel", 0, 100);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    std::atomic<bool> cancel{false};
    auto report = [](float fraction, void* data) {
        auto* dialog = static_cast<QProgressDialog*>(data);
        dialog->setValue(static_cast<int>(fraction * 100.0f));
        QCoreApplication::processEvents();
    };
    QObject::connect(&progress, &QProgressDialog::canceled, [&cancel] { cancel = true; });
    if (!atlas.isUnpacked() && !atlas.unpack(report, &progress, &cancel)) return false;
    atlas.loadFullScale(report, &progress, &cancel);
    return !cancel && atlas.isFullScaleLoaded();
}

} // namespace

int main(int argc, char** argv) {
    configureAllocator();
    UserPreferences::useStore(std::make_unique<QSettingsStore>());
    UserPreferences& preferences = UserPreferences::instance();
    CGLView::configureSurfaceFormat(preferences);
    QApplication application(argc, argv);
    QApplication::setApplicationName("Volumira");
    QtPrompt prompt;
    try {
        ReferenceAtlas& atlas = ReferenceAtlas::instance();
        if (!prepareAtlas(atlas)) return 1;
        BrainExpressionModel model(preferences);
        model.showSearchableStructures();
        for (int axis = 0; axis < 3; ++axis)
            model.setDisplayFlag(axis, true, false);
        for (const QString& argument : QApplication::arguments().mid(1)) {
            try {
                model.addGeneFromFile(argument.toStdString());
            } catch (const std::exception& e) {
                prompt.error("Could not open " + argument.toStdString() + ":\n" + e.what());
            }
        }
        ViewerWindow window(model, atlas, preferences, prompt);
        window.show();
        // The display is judged once its context exists, which showing the window creates.
        bool usable = true;
        QTimer::singleShot(0, &window, [&] {
            try {
                usable = window.view().checkDisplay();
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
