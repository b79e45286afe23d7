#include "app/CVolumiraApp.h"

#include "app/CGLView.h"
#include "app/CMainFrame.h"
#include "app/CVolumiraView.h"
#include "app/OpenRequests.h"
#include "app/ProgressDialog.h"
#include "app/Prompt.h"
#include "atlas/ReferenceAtlas.h"
#include "document/CVolumiraDoc.h"
#include "net/NetworkQueue.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"
#include "preferences/UserPreferences.h"
#include "search/SearchConfig.h"

#include <QApplication>
#include <QTimer>
#include <exception>

namespace volumira {

namespace {

// How often a queue held up by a dialog is looked at again.
constexpr int kRetryMs = 200;

} // namespace

AppResources::~AppResources() = default;

ReferenceAtlas& ProcessResources::loadAtlas() {
    // Only the coarse annotation, colour maps and ontology: the fine volumes wait for the first section.
    atlas_ = &ReferenceAtlas::instance();
    SearchConfig::instance();
    return *atlas_;
}

bool ProcessResources::atlasUnpacked() {
    return loadAtlas().isUnpacked();
}

bool ProcessResources::unpackAtlas(ProgressCallback callback, void* data, const CancelFlag* cancel) {
    return atlas_->unpack(callback, data, cancel);
}

std::string ProcessResources::atlasDirectory() {
    return volumira::atlasDirectory();
}

VersionCheckSettings ProcessResources::versionCheckSettings() {
    return VersionCheckSettings::ofProcess();
}

void ProcessResources::release() {
    atlas_ = nullptr;
    ReferenceAtlas::releaseInstance();
    SearchConfig::releaseInstance();
    UserPreferences::releaseInstance();
    NetworkQueue::instance().shutdown();
}

CVolumiraApp::CVolumiraApp(AppResources& resources, UserPreferences& preferences, SettingsStore& store,
                           Prompt& prompt, VersionCheck::Hooks updateHooks, DesktopPlaces desktop)
    : resources_(resources), preferences_(preferences), store_(store), prompt_(prompt),
      desktop_(std::move(desktop)),
      versionCheck_(std::make_unique<VersionCheck>(preferences, std::move(updateHooks))) {}

CVolumiraApp::~CVolumiraApp() {
    // A running check or update goes before the window whose dispatcher carries its reports.
    versionCheck_.reset();
    retry_.reset();
    frame_.reset();
    document_.reset();
    resources_.release();
}

bool CVolumiraApp::start(const std::vector<std::string>& files) {
    ReferenceAtlas* atlas = nullptr;
    try {
        atlas = &resources_.loadAtlas();
    } catch (...) {
        prompt_.error(kMissingFiles);
        return false;
    }
    // Failures are not reported: the program works without the association.
    assertFileAssociation(desktop_);
    try {
        // The process-wide configuration, asked for at each use: the search-domain update replaces it.
        document_ = std::make_unique<CVolumiraDoc>(preferences_, store_,
                                                   []() -> const SearchConfig& { return SearchConfig::instance(); });
        document_->detailModel().showSearchableStructures(atlas->ontology());
        frame_ = std::make_unique<CMainFrame>(*document_, *atlas, preferences_, prompt_);
    } catch (const std::exception& e) {
        prompt_.error(e.what());
        return false;
    } catch (...) {
        prompt_.error("Unexpected error while initializing application window.");
        return false;
    }
    // The display is judged before anything shows: on a display without GL the toolkit fails as soon
    // as it draws a window that holds a GL view.
    if (!checkDisplay()) return false;
    for (const std::string& file : files)
        if (!frame_->openGeneFile(file)) return false;
    if (!ensureAtlasUnpacked()) return false;
    frame_->show();
    shown_ = true;
    replayPending();
    // The version check waits for the window, so that its offer never stacks on the start-up's boxes.
    QTimer::singleShot(0, frame_.get(), [this] {
        startVersionCheck();
        displayChecked_ = true;
    });
    return true;
}

bool CVolumiraApp::checkDisplay() {
    bool usable = true;
    try {
        usable = frame_->view().dataView().checkDisplay();
    } catch (const std::exception& e) {
        prompt_.error(e.what());
        usable = false;
    }
    return usable;
}

void CVolumiraApp::startVersionCheck() {
    try {
        versionCheck_->startIfDue(resources_.versionCheckSettings());
    } catch (const std::exception&) {
        // Not reported: the check stays due and runs at the next start.
    }
}

bool CVolumiraApp::ensureAtlasUnpacked() {
    bool unpacked = false;
    try {
        unpacked = resources_.atlasUnpacked();
    } catch (const std::exception&) {
        // Whatever stands in the way is replaced by the unpacking.
    }
    if (unpacked) return true;
    ProgressDialog dialog(frame_.get());
    const ProgressDialog::Outcome outcome =
        dialog.run([this](ProgressCallback callback, void* data,
                          const CancelFlag* cancel) { return resources_.unpackAtlas(callback, data, cancel); },
                   resources_.atlasDirectory());
    if (!outcome.error.empty()) prompt_.error(outcome.error);
    return outcome.end == ProgressDialog::End::Unpacked;
}

bool CVolumiraApp::windowFree() const {
    return shown_ && frame_ && frame_->isEnabled() && QApplication::activeModalWidget() == nullptr && !replaying_;
}

bool CVolumiraApp::handleOpenRequest(const QString& request) {
    if (request.size() >= kMaxOpenRequestLength) return false;
    if (!parseOpenRequest(request)) return false;
    if (!windowFree()) {
        pending_.push_back(request);
        // Before the window is shown the start-up replays the queue; afterwards a dialog held it up.
        if (shown_) {
            if (!retry_) {
                retry_ = std::make_unique<QTimer>();
                retry_->setInterval(kRetryMs);
                QObject::connect(retry_.get(), &QTimer::timeout, [this] {
                    if (windowFree()) replayPending();
                });
            }
            retry_->start();
        }
        return true;
    }
    return carryOut(request);
}

void CVolumiraApp::replayPending() {
    replaying_ = true;
    while (!pending_.empty()) {
        const QString request = pending_.front();
        pending_.pop_front();
        carryOut(request);
    }
    replaying_ = false;
    if (retry_) retry_->stop();
}

bool CVolumiraApp::carryOut(const QString& request) {
    const std::optional<std::string> path = parseOpenRequest(request);
    if (!path) return false;
    // The frame tells the user when the file cannot be read. The sender's path may still pass through
    // links or "..": resolved here, it names the file as every other way of opening it does.
    frame_->openGeneFile(absolutePath(*path));
    return true;
}

} // namespace volumira
