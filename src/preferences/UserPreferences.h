#pragma once

// The user's persistent settings, the program's version and the addresses of the data server. Values are
// read from the settings store once, when the object is made, and each setter writes its value back at once.

#include "preferences/PreferenceRecords.h"
#include "preferences/ProgramVersion.h"
#include "preferences/SettingsStore.h"

#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace volumira {

// The data server a fresh installation talks to: the project's own server on this machine.
inline constexpr const char* kDefaultServerUrl = "http://127.0.0.1:8338";

class UserPreferencesListener {
  public:
    // Change codes passed to preferencesChanged.
    static constexpr int kAutoRotateView = 1;
    static constexpr int kMultisample = 2;
    static constexpr int kFasterDrawing = 3;
    static constexpr int kVerticalSync = 4;

    virtual ~UserPreferencesListener();
    virtual void preferencesChanged(int code) = 0;
};

// What loading looks at besides the store, so that tests can fix the clock, version and kernel.
struct PreferencesEnvironment {
    std::function<std::time_t()> now;
    ProgramVersion version;
    std::optional<KernelVersion> kernel;

    static PreferencesEnvironment ofProcess();
};

class UserPreferences {
  public:
    // Loads from the store, which must outlive this object.
    UserPreferences(SettingsStore& store, PreferencesEnvironment environment);
    UserPreferences(const UserPreferences&) = delete;
    UserPreferences& operator=(const UserPreferences&) = delete;

    // The process-wide preferences over the store given to useStore (in memory when none was given),
    // loaded on first use.
    static UserPreferences& instance();
    // Sets the store of the process-wide preferences; call before instance() is first used.
    static void useStore(std::unique_ptr<SettingsStore> store);
    static void releaseInstance();

    bool autoRotateView() const { return autoRotateView_; }
    bool fasterLowerQualityExpressorDrawing() const { return fasterDrawing_; }
    bool verticalSync() const { return verticalSync_; }
    bool askedOptimizeVideoSettings() const { return askedOptimizeVideoSettings_; }
    bool automaticVersionCheck() const { return automaticVersionCheck_; }
    const std::string& serverUrl() const { return serverUrl_; }
    const std::string& versionsUrl() const { return versionsUrl_; }
    const std::string& searchDomainsUrl() const { return searchDomainsUrl_; }
    const std::string& searchServiceUrl() const { return searchServiceUrl_; }
    const std::string& gridFileUrl() const { return gridFileUrl_; }
    const std::string& experimentGridLookupUrl() const { return experimentGridLookupUrl_; }
    const std::string& pyramidUrl() const { return pyramidUrl_; }
    const std::string& seriesInfoUrl() const { return seriesInfoUrl_; }
    const std::string& imagePageUrl() const { return imagePageUrl_; }
    // The web site that Help > Tessaly Brain Atlas opens: the "BrainAtlasWebSite" setting when it is
    // not empty, else the data server's front page (the server address followed by "/").
    const std::string& webSiteUrl() const { return webSiteUrl_; }
    const std::string& userAgent() const { return userAgent_; }
    int multisample() const { return multisample_; }
    int maxMultisample() const { return maxMultisample_; }
    float bookmarkAnimationSeconds() const { return bookmarkAnimationSeconds_; }
    const std::string& version() const { return version_; }
    int build() const { return build_; }

    // Each setter does nothing when the value is unchanged; otherwise it stores and writes the value, and
    // the first four notify the listeners.
    void setAutoRotateView(bool on);
    void setMultisample(int samples);
    void setFasterLowerQualityExpressorDrawing(bool on);
    void setVerticalSync(bool on);
    void setAskedOptimizeVideoSettings(bool asked);
    void setAutomaticVersionCheck(bool on);
    // Clamped to 0..10 seconds; written in whole milliseconds. A NaN is ignored.
    void setBookmarkAnimationSpeed(float seconds);
    // In memory only: the display reports it at each start.
    void setMaxMultisample(int samples) { maxMultisample_ = samples; }

    // Each listener is registered at most once and called in order of registration.
    void addListener(UserPreferencesListener* listener);
    void removeListener(UserPreferencesListener* listener);
    void notifyListeners(int code);

    // Due when automatic checks are on and the last recorded check is missing, unreadable or more than
    // 168 whole hours ago.
    bool isVersionCheckDue() const;
    void recordVersionCheck();

    ModelSettings loadModelSettings() const;
    void saveModelSettings(const ModelSettings& settings);
    ViewSettings loadViewSettings() const;
    void saveViewSettings(const ViewSettings& settings);
    // nullopt when any of the five values is missing or they describe no usable window: the platform
    // then chooses the place, size and show state.
    std::optional<WindowPlacement> loadWindowPlacement(const ScreenMetrics& screen) const;
    void saveWindowPlacement(std::int32_t showState, const WindowRect& normal);

  private:
    void load();
    bool readFlag(const char* name, bool defaultValue) const;
    void writeFlag(const char* name, bool on);
    // Stores value in field and writes it; true when it changed.
    bool changeFlag(bool& field, bool value, const char* name);

    SettingsStore& store_;
    PreferencesEnvironment environment_;
    std::vector<UserPreferencesListener*> listeners_;
    bool autoRotateView_ = true;
    bool fasterDrawing_ = false;
    bool verticalSync_ = true;
    bool askedOptimizeVideoSettings_ = false;
    bool automaticVersionCheck_ = true;
    std::string serverUrl_ = kDefaultServerUrl;
    std::string versionsUrl_;
    std::string searchDomainsUrl_;
    std::string searchServiceUrl_;
    std::string gridFileUrl_;
    std::string experimentGridLookupUrl_;
    std::string pyramidUrl_;
    std::string seriesInfoUrl_;
    std::string imagePageUrl_;
    std::string webSiteUrl_;
    std::string userAgent_ = "Volumira";
    int multisample_ = 0;
    int maxMultisample_ = 0;
    float bookmarkAnimationSeconds_ = 2.0f;
    std::string version_ = "1.0";
    int build_ = 1;
};

} // namespace volumira
