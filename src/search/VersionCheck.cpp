#include "search/VersionCheck.h"

#include "preferences/UserPreferences.h"
#include "search/SearchConfig.h"

#include <cctype>
#include <stdexcept>

namespace volumira {

bool isWebAddress(const std::string& url) {
    auto startsWith = [&](const std::string& prefix) {
        if (url.size() <= prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) return false;
        return true;
    };
    if (!startsWith("http://") && !startsWith("https://")) return false;
    // Control characters and spaces have no place in an address and could split a command line.
    for (const char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
    return true;
}

VersionCheckSettings VersionCheckSettings::ofProcess() {
    return {UserPreferences::instance().versionsUrl(), SearchConfig::instance().version(),
            SearchDomainUpdatePlaces::ofProcess()};
}

VersionCheck::VersionCheck(UserPreferences& preferences, Hooks hooks)
    : preferences_(preferences), hooks_(std::move(hooks)) {}

// The members' destructors cancel what runs.
VersionCheck::~VersionCheck() = default;

bool VersionCheck::startIfDue(const VersionCheckSettings& settings) {
    if (running() || !preferences_.isVersionCheckDue()) return false;
    updatePlaces_ = settings.updatePlaces;
    try {
        query_ = std::make_unique<VersionQuery>(this, settings.versionsUrl, settings.domainsVersion,
                                                preferences_.build());
    } catch (const std::exception&) {
        query_.reset();
        return false;
    }
    return true;
}

// Each report ends its query or update: it is destroyed here, inside its own last call, which touches nothing
// of itself afterwards.
void VersionCheck::versionChecked(VersionQuery* query) {
    const std::unique_ptr<VersionQuery> finished = std::move(query_);
    if (query->newVersionAvailable() && hooks_.confirm &&
        hooks_.confirm(query->message() + " Click OK for more information.") && hooks_.openPage &&
        isWebAddress(query->infoUrl()))
        hooks_.openPage(query->infoUrl());
    if (!query->domainsOutdated()) {
        preferences_.recordVersionCheck();
        return;
    }
    try {
        updater_ = std::make_unique<SearchDomainUpdater>(this, updatePlaces_);
    } catch (const std::exception&) {
        updater_.reset();
    }
}

void VersionCheck::versionCheckFailed(VersionQuery*, const std::string&) {
    query_.reset();
}

void VersionCheck::searchDomainsUpdated(SearchDomainUpdater*) {
    updater_.reset();
    preferences_.recordVersionCheck();
}

void VersionCheck::searchDomainUpdateFailed(SearchDomainUpdater*, const std::string&) {
    updater_.reset();
}

} // namespace volumira
