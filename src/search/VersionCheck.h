#pragma once

// The version check as start-up runs it: when a check is due it asks the server for its versions file,
// offers the user the information page of a newer program, installs newer search domains, and records the
// check as done. Failures are not shown; the check then stays due and runs again at the next start.

#include "search/SearchDomainUpdater.h"
#include "search/VersionQuery.h"

#include <functional>
#include <memory>
#include <string>

namespace volumira {

class UserPreferences;

// True for an http or https address (scheme in any case) with something after "//": the only kind of
// information page the check hands to the desktop, which would also run programs and open local files.
bool isWebAddress(const std::string& url);

struct VersionCheckSettings {
    std::string versionsUrl;
    // The version of the search domains in use.
    int domainsVersion = 0;
    SearchDomainUpdatePlaces updatePlaces;

    // The preferences' addresses, the process-wide search configuration and the data locations.
    static VersionCheckSettings ofProcess();
};

class VersionCheck : public VersionQueryListener, public SearchDomainUpdateListener {
  public:
    // What the check asks of the user interface.
    struct Hooks {
        // Shows the message with OK and Cancel; true for OK. Without it nothing is shown.
        std::function<bool(const std::string& message)> confirm;
        // Given web addresses only (isWebAddress).
        std::function<void(const std::string& url)> openPage;
    };

    // The preferences must outlive the check; their build number is the one compared with the server's.
    VersionCheck(UserPreferences& preferences, Hooks hooks);
    // Stops a running query or update without a report.
    ~VersionCheck() override;
    VersionCheck(const VersionCheck&) = delete;
    VersionCheck& operator=(const VersionCheck&) = delete;

    // Starts the check when the preferences say it is due and none runs; true when it started. A request that
    // cannot be created counts as a failed check.
    bool startIfDue(const VersionCheckSettings& settings);
    bool running() const { return query_ != nullptr || updater_ != nullptr; }

    void versionChecked(VersionQuery* query) override;
    void versionCheckFailed(VersionQuery* query, const std::string& message) override;
    void searchDomainsUpdated(SearchDomainUpdater* updater) override;
    void searchDomainUpdateFailed(SearchDomainUpdater* updater, const std::string& message) override;

  private:
    UserPreferences& preferences_;
    Hooks hooks_;
    SearchDomainUpdatePlaces updatePlaces_;
    // Null when none runs; released in their final report.
    std::unique_ptr<VersionQuery> query_;
    std::unique_ptr<SearchDomainUpdater> updater_;
};

} // namespace volumira
