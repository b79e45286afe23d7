// volumira: the viewer. Opens the main window on the reference atlas and adds the genes of the ".xpr"
// files named on the command line; a later launch with a file hands it to the running instance.

#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraApp.h"
#include "app/OpenRequests.h"
#include "app/QSettingsStore.h"
#include "app/QtPrompt.h"
#include "app/TerminationSignals.h"
#include "platform/FileUtils.h"
#include "platform/MemoryPolicy.h"
#include "preferences/UserPreferences.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <memory>

using namespace volumira;

namespace {

// The gene files of the command line, by absolute path: a running instance, the recent-file list and the
// same-file rule all need a name that holds from any working directory. "/dde", which the desktop may
// pass, asks for nothing.
std::vector<std::string> geneFiles(const QStringList& arguments) {
    std::vector<std::string> files;
    for (const QString& argument : arguments.mid(1))
        if (argument != "/dde") files.push_back(absolutePath(argument.toStdString()));
    return files;
}

// The requests a running instance would carry out for these files; none when one would be dropped, so that
// this launch opens them itself.
QStringList openRequests(const std::vector<std::string>& files) {
    QStringList requests;
    for (const std::string& file : files) {
        const QString request = openRequestText(QString::fromStdString(file));
        if (request.size() >= kMaxOpenRequestLength) return {};
        requests << request;
    }
    return requests;
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

    const std::vector<std::string> files = geneFiles(QApplication::arguments());
    const QString serverName = OpenRequestServer::defaultName();
    if (const QStringList requests = openRequests(files); !requests.isEmpty()) {
        switch (OpenRequestServer::send(serverName, requests)) {
        case OpenRequestServer::Delivery::Delivered: return 0;
        case OpenRequestServer::Delivery::Unanswered:
            std::fprintf(stderr, "volumira: the running instance did not answer.\n");
            return 1;
        case OpenRequestServer::Delivery::NoInstance: break;
        }
    }

    QtPrompt prompt;
    QSettingsStore store;
    ProcessResources resources;
    CVolumiraApp* app = nullptr;
    VersionCheck::Hooks updateHooks{
        [&app](const std::string& message) {
            QMessageBox box(QMessageBox::Warning, "Volumira", QString::fromStdString(message),
                            QMessageBox::Ok | QMessageBox::Cancel, app ? app->frame() : nullptr);
            box.setDefaultButton(QMessageBox::Ok);
            return box.exec() == QMessageBox::Ok;
        },
        [](const std::string& url) { QDesktopServices::openUrl(QUrl(QString::fromStdString(url))); }};
    CVolumiraApp volumira(resources, preferences, store, prompt, std::move(updateHooks),
                          DesktopPlaces::ofProcess(QApplication::applicationFilePath().toStdString()));
    app = &volumira;
    // Listening before the start-up lets requests that come meanwhile wait in the queue. Without the socket
    // (another instance holds it) the program still runs.
    OpenRequestServer server(serverName, [&volumira](const QString& request) {
        return volumira.handleOpenRequest(request);
    });
    server.listen();
    // A logout, Ctrl+C or kill closes the windows as the user would, so that bookmarks and the window's
    // place are saved.
    TerminationSignals termination([] { QApplication::closeAllWindows(); });
    if (!volumira.start(files)) return 1;
    return application.exec();
}
