#pragma once

#include "app/DesktopAssociation.h"
#include "io/Image3d.h"
#include "search/VersionCheck.h"

#include <QString>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace volumira {

class CMainFrame;
class CVolumiraDoc;
class Prompt;
class ReferenceAtlas;
class SettingsStore;
class UserPreferences;

// The process-wide objects the program makes at start and destroys at exit, behind an interface so that
// tests can stand in for missing files and for the unpacking.
class AppResources {
  public:
    virtual ~AppResources();
    // The reference atlas and the search configuration; throws when their files are missing.
    virtual ReferenceAtlas& loadAtlas() = 0;
    virtual bool atlasUnpacked() = 0;
    // Runs on a worker thread: false when cancelled, throws on failure.
    virtual bool unpackAtlas(ProgressCallback callback, void* data, const CancelFlag* cancel) = 0;
    // Where the atlas is unpacked, for the message of a failed unpack.
    virtual std::string atlasDirectory() = 0;
    virtual VersionCheckSettings versionCheckSettings() = 0;
    // Destroys the singletons and shuts the network queue down.
    virtual void release() = 0;
};

// The program's own singletons over the data locations.
class ProcessResources : public AppResources {
  public:
    ReferenceAtlas& loadAtlas() override;
    bool atlasUnpacked() override;
    bool unpackAtlas(ProgressCallback callback, void* data, const CancelFlag* cancel) override;
    std::string atlasDirectory() override;
    VersionCheckSettings versionCheckSettings() override;
    // The reference atlas, the search configuration, the preferences, then the network queue.
    void release() override;

  private:
    ReferenceAtlas* atlas_ = nullptr;
};

// The application: the start-up sequence, open requests from the desktop and later launches, and the
// version check; at exit it stops the check, closes the window and releases the resources.
class CVolumiraApp {
  public:
    static constexpr const char* kMissingFiles = "Volumira could not launch because one or more files are "
                                                 "missing. Please try reinstalling the application.";

    // Everything given must outlive the application; the resources are released when it goes.
    CVolumiraApp(AppResources& resources, UserPreferences& preferences, SettingsStore& store, Prompt& prompt,
                 VersionCheck::Hooks updateHooks, DesktopPlaces desktop);
    ~CVolumiraApp();
    CVolumiraApp(const CVolumiraApp&) = delete;
    CVolumiraApp& operator=(const CVolumiraApp&) = delete;

    // The start-up sequence with the gene files of the command line; false when the program must end.
    bool start(const std::vector<std::string>& files);
    // One open request, "[open("PATH")]" or "open("PATH")": carried out at once when the window is shown
    // and free, else queued. False when it was dropped: too long or not an open request.
    bool handleOpenRequest(const QString& request);
    // Unpacks the atlas under the progress box on the first start; false when start-up must end.
    bool ensureAtlasUnpacked();

    CMainFrame* frame() { return frame_.get(); }
    CVolumiraDoc* document() { return document_.get(); }
    std::size_t pendingRequestCount() const { return pending_.size(); }
    const VersionCheck& versionCheck() const { return *versionCheck_; }
    // True once the window shows and the version check has started when due. (The display was judged
    // before the window showed.)
    bool displayChecked() const { return displayChecked_; }

  private:
    bool windowFree() const;
    void replayPending();
    bool carryOut(const QString& request);
    // False, after telling the user why when it is an error, when the display is unusable.
    bool checkDisplay();
    void startVersionCheck();

    AppResources& resources_;
    UserPreferences& preferences_;
    SettingsStore& store_;
    Prompt& prompt_;
    DesktopPlaces desktop_;
    std::unique_ptr<VersionCheck> versionCheck_;
    std::unique_ptr<CVolumiraDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
    // Open requests that came while the window was missing or busy, in arrival order.
    std::deque<QString> pending_;
    // Retries the queue once a dialog that held it up has closed.
    std::unique_ptr<QTimer> retry_;
    bool shown_ = false;
    bool replaying_ = false;
    bool displayChecked_ = false;
};

} // namespace volumira
