#include "preferences/UserPreferences.h"

#include "preferences/CheckTime.h"
#include "preferences/MemorySettingsStore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>

namespace volumira {

namespace {

constexpr std::int32_t kMissing = -1;
constexpr float kMaxBookmarkSeconds = 10.0f;
constexpr double kSecondsPerHour = 3600.0;
// A week: a check is due from the 169th whole hour after the last one.
constexpr long long kHoursBetweenChecks = 168;

struct InstanceSlot {
    std::mutex mutex;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<UserPreferences> preferences;
};

InstanceSlot& instanceSlot() {
    static InstanceSlot slot;
    return slot;
}

bool fitsInt32(std::int64_t value) {
    return value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

} // namespace

UserPreferencesListener::~UserPreferencesListener() = default;

PreferencesEnvironment PreferencesEnvironment::ofProcess() {
    return {[] { return std::time(nullptr); }, builtProgramVersion(), runningKernelVersion()};
}

UserPreferences::UserPreferences(SettingsStore& store, PreferencesEnvironment environment)
    : store_(store), environment_(std::move(environment)) {
    load();
}

UserPreferences& UserPreferences::instance() {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.store) slot.store = std::make_unique<MemorySettingsStore>();
    if (!slot.preferences)
        slot.preferences =
            std::make_unique<UserPreferences>(*slot.store, PreferencesEnvironment::ofProcess());
    return *slot.preferences;
}

void UserPreferences::useStore(std::unique_ptr<SettingsStore> store) {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    // The preferences refer to their store, so they go first and are loaded again from the new one.
    slot.preferences.reset();
    slot.store = std::move(store);
}

void UserPreferences::releaseInstance() {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    slot.preferences.reset();
}

void UserPreferences::load() {
    std::string host = store_.readText(kSettingsSection, "HostName", "");
    // The addresses append paths that start with "/", so a stored trailing slash would double it.
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    if (!host.empty()) serverUrl_ = host;
    experimentGridLookupUrl_ = store_.readText(kSettingsSection, "ExperimentGridLookupHost", "");

    autoRotateView_ = readFlag("AutoRotateView", true);
    fasterDrawing_ = readFlag("FasterLowerQualityExpressorDrawing", false);
    verticalSync_ = readFlag("VerticalSync", true);
    askedOptimizeVideoSettings_ = readFlag("AskedOptimizeVideoSettings", false);
    automaticVersionCheck_ = readFlag("AutomaticVersionCheck", true);

    // Stored as an unsigned registry number, so a negative value reads as a huge one.
    const auto milliseconds =
        static_cast<std::uint32_t>(store_.readInteger(kSettingsSection, "BookmarkAnimationSpeed", 2000));
    bookmarkAnimationSeconds_ = std::min(static_cast<float>(milliseconds) / 1000.0f, kMaxBookmarkSeconds);

    multisample_ = store_.readInteger(kSettingsSection, "Multisample", 0);
    if (multisample_ < 0) setMultisample(0);

    version_ = versionText(environment_.version);
    build_ = environment_.version.buildNumber;
    userAgent_ = userAgentText(environment_.version, environment_.kernel);

    versionsUrl_ = serverUrl_ + "/Volumira/versions.xml";
    searchDomainsUrl_ = serverUrl_ + "/Volumira/SearchDomains.xml";
    searchServiceUrl_ = serverUrl_ + "/services/GeneSearchService";
    gridFileUrl_ = serverUrl_ + "/GridFile";
    pyramidUrl_ = serverUrl_ + "/pyramid/";
    seriesInfoUrl_ = serverUrl_ + "/viewSeriesInfo.do?imageSeriesId=";
    imagePageUrl_ = serverUrl_ + "/viewImage.do?imageId=";
    // Kept apart from the data server, so that a site of its own can be named without moving the data.
    webSiteUrl_ = store_.readText(kSettingsSection, "BrainAtlasWebSite", "");
    if (webSiteUrl_.empty()) webSiteUrl_ = serverUrl_ + "/";
}

bool UserPreferences::readFlag(const char* name, bool defaultValue) const {
    return store_.readInteger(kSettingsSection, name, defaultValue ? 1 : 0) != 0;
}

void UserPreferences::writeFlag(const char* name, bool on) {
    store_.writeInteger(kSettingsSection, name, on ? 1 : 0);
}

bool UserPreferences::changeFlag(bool& field, bool value, const char* name) {
    if (field == value) return false;
    field = value;
    writeFlag(name, value);
    return true;
}

void UserPreferences::setAutoRotateView(bool on) {
    if (changeFlag(autoRotateView_, on, "AutoRotateView"))
        notifyListeners(UserPreferencesListener::kAutoRotateView);
}

void UserPreferences::setMultisample(int samples) {
    if (multisample_ == samples) return;
    multisample_ = samples;
    store_.writeInteger(kSettingsSection, "Multisample", samples);
    notifyListeners(UserPreferencesListener::kMultisample);
}

void UserPreferences::setFasterLowerQualityExpressorDrawing(bool on) {
    if (changeFlag(fasterDrawing_, on, "FasterLowerQualityExpressorDrawing"))
        notifyListeners(UserPreferencesListener::kFasterDrawing);
}

void UserPreferences::setVerticalSync(bool on) {
    if (changeFlag(verticalSync_, on, "VerticalSync"))
        notifyListeners(UserPreferencesListener::kVerticalSync);
}

void UserPreferences::setAskedOptimizeVideoSettings(bool asked) {
    changeFlag(askedOptimizeVideoSettings_, asked, "AskedOptimizeVideoSettings");
}

void UserPreferences::setAutomaticVersionCheck(bool on) {
    changeFlag(automaticVersionCheck_, on, "AutomaticVersionCheck");
}

void UserPreferences::setBookmarkAnimationSpeed(float seconds) {
    if (std::isnan(seconds)) return;
    // Loading clamps to this range too; an unclamped negative value would come back as 10 seconds.
    seconds = std::clamp(seconds, 0.0f, kMaxBookmarkSeconds);
    if (seconds == bookmarkAnimationSeconds_) return;
    bookmarkAnimationSeconds_ = seconds;
    store_.writeInteger(kSettingsSection, "BookmarkAnimationSpeed",
                        static_cast<std::int32_t>(seconds * 1000.0f));
}

void UserPreferences::addListener(UserPreferencesListener* listener) {
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void UserPreferences::removeListener(UserPreferencesListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void UserPreferences::notifyListeners(int code) {
    // A listener may unregister itself or another one while being called: walk a copy and skip the
    // ones that are gone by their turn.
    const std::vector<UserPreferencesListener*> snapshot = listeners_;
    for (UserPreferencesListener* listener : snapshot)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->preferencesChanged(code);
}

bool UserPreferences::isVersionCheckDue() const {
    if (!automaticVersionCheck_) return false;
    const auto last = parseCheckTime(store_.readText(kSettingsSection, "LastVersionCheck", ""));
    if (!last) return true;
    const auto hours = static_cast<long long>(std::difftime(environment_.now(), *last) / kSecondsPerHour);
    return hours > kHoursBetweenChecks;
}

void UserPreferences::recordVersionCheck() {
    store_.writeText(kSettingsSection, "LastVersionCheck", formatCheckTime(environment_.now()));
}

ModelSettings UserPreferences::loadModelSettings() const {
    ModelSettings s;
    s.compassLocation = store_.readInteger(kSettingsSection, "CompassLocation", s.compassLocation);
    s.toolMode = store_.readInteger(kSettingsSection, "ToolMode", s.toolMode);
    s.imageAlphaPercent = store_.readInteger(kSettingsSection, "ImageAlpha", s.imageAlphaPercent);
    s.meshDisplayStyle = store_.readInteger(kSettingsSection, "MeshDisplayStyle", s.meshDisplayStyle);
    s.geneColorMode = store_.readInteger(kSettingsSection, "GeneColorMode", s.geneColorMode);
    s.thresholdControlsVisible =
        store_.readInteger(kSettingsSection, "GeneTresholdControlsVisible", s.thresholdControlsVisible);
    return s;
}

void UserPreferences::saveModelSettings(const ModelSettings& s) {
    store_.writeInteger(kSettingsSection, "CompassLocation", s.compassLocation);
    store_.writeInteger(kSettingsSection, "ToolMode", s.toolMode);
    store_.writeInteger(kSettingsSection, "ImageAlpha", s.imageAlphaPercent);
    store_.writeInteger(kSettingsSection, "MeshDisplayStyle", s.meshDisplayStyle);
    store_.writeInteger(kSettingsSection, "GeneColorMode", s.geneColorMode);
    store_.writeInteger(kSettingsSection, "GeneTresholdControlsVisible", s.thresholdControlsVisible);
}

ViewSettings UserPreferences::loadViewSettings() const {
    ViewSettings s;
    const std::int32_t tab = store_.readInteger(kSettingsSection, "OntologyViewMode", kMissing);
    // A tab index the view does not have counts as missing rather than selecting nothing.
    if (tab >= kAlphabeticalTab && tab <= kBookmarksTab)
        s.sideTab = tab;
    else
        s.sideTab = readFlag("OntologyAlphabetical", false) ? kAlphabeticalTab : kHierarchicalTab;
    s.expandedDisplay = readFlag("ExpandedDisplayMode", false);
    s.imageControlsVisible = readFlag("ImageControlsVisible", false);
    return s;
}

void UserPreferences::saveViewSettings(const ViewSettings& s) {
    store_.writeInteger(kSettingsSection, "OntologyViewMode", s.sideTab);
    writeFlag("ExpandedDisplayMode", s.expandedDisplay);
    writeFlag("ImageControlsVisible", s.imageControlsVisible);
}

std::optional<WindowPlacement> UserPreferences::loadWindowPlacement(const ScreenMetrics& screen) const {
    std::int32_t values[5];
    const char* const names[5] = {"Main Window Status", "Main Window Top", "Main Window Left",
                                  "Main Window Bottom", "Main Window Right"};
    for (int i = 0; i < 5; ++i) {
        values[i] = store_.readInteger(kSettingsSection, names[i], kMissing);
        if (values[i] == kMissing) return std::nullopt;
    }
    const std::int64_t top = values[1], left = values[2], bottom = values[3], right = values[4];
    // Damaged values must not open an empty or inside-out window, nor overflow the arithmetic below.
    const std::int64_t width = right - left, height = bottom - top;
    const std::int64_t shiftedLeft = left + screen.workAreaLeft, shiftedTop = top + screen.workAreaTop;
    if (width <= 0 || height <= 0 || !fitsInt32(width) || !fitsInt32(height) || !fitsInt32(shiftedLeft) ||
        !fitsInt32(shiftedTop))
        return std::nullopt;
    WindowPlacement placement;
    placement.showState = values[0];
    placement.width = static_cast<std::int32_t>(width);
    placement.height = static_cast<std::int32_t>(height);
    // Keep at least an icon's size of the window on the screen to the right and below.
    placement.x = static_cast<std::int32_t>(
        std::min<std::int64_t>(shiftedLeft, std::int64_t{screen.screenWidth} - screen.iconWidth));
    placement.y = static_cast<std::int32_t>(
        std::min<std::int64_t>(shiftedTop, std::int64_t{screen.screenHeight} - screen.iconHeight));
    return placement;
}

void UserPreferences::saveWindowPlacement(std::int32_t showState, const WindowRect& normal) {
    store_.writeInteger(kSettingsSection, "Main Window Status", showState);
    store_.writeInteger(kSettingsSection, "Main Window Top", normal.top);
    store_.writeInteger(kSettingsSection, "Main Window Left", normal.left);
    store_.writeInteger(kSettingsSection, "Main Window Bottom", normal.bottom);
    store_.writeInteger(kSettingsSection, "Main Window Right", normal.right);
}

} // namespace volumira
