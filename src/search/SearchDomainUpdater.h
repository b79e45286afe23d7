#pragma once

// The search-domain update: downloads a newer "SearchDomains.xml", checks that it reads as a usable search
// configuration, installs it in place of the per-user copy and makes it the process-wide configuration.

#include "net/NetEventListener.h"
#include "net/NetFile.h"
#include "platform/FileUtils.h"

#include <string>

namespace volumira {

class Ontology;
class SearchDomainUpdater;

class SearchDomainUpdateListener {
  public:
    virtual ~SearchDomainUpdateListener();
    // The final report; the owner may destroy the updater from inside the call.
    virtual void searchDomainsUpdated(SearchDomainUpdater* updater) = 0;
    virtual void searchDomainUpdateFailed(SearchDomainUpdater* updater, const std::string& message) = 0;
};

// Where an update comes from and goes to.
struct SearchDomainUpdatePlaces {
    std::string url;
    // The per-user directory (ending in "/") that receives "SearchDomains.new" and then "SearchDomains.xml".
    std::string userDirectory;
    // The directory of the installed copy, for the new configuration's loadInstalled().
    std::string dataDirectory;
    // The ontology whose structures the new configuration names; must outlive it.
    const Ontology* ontology = nullptr;

    // The preferences' search-domains address, the program's data locations and the reference atlas.
    static SearchDomainUpdatePlaces ofProcess();
};

// Owned by its creator, who may destroy it at any time: a running transfer is then cancelled and the file
// closed.
class SearchDomainUpdater : public NetEventListener {
  public:
    // Creates the download file and starts the transfer at once. Throws std::runtime_error "Search domain
    // file could not be opened for writing." or "Could not download search domain update." (the download
    // file is then deleted again).
    explicit SearchDomainUpdater(SearchDomainUpdateListener* listener);
    SearchDomainUpdater(SearchDomainUpdateListener* listener, SearchDomainUpdatePlaces places);
    ~SearchDomainUpdater() override;
    SearchDomainUpdater(const SearchDomainUpdater&) = delete;
    SearchDomainUpdater& operator=(const SearchDomainUpdater&) = delete;

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string&, std::uint64_t) override {}
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

    // Stops the update: no report follows.
    virtual void abort();

    const std::string& downloadPath() const { return downloadPath_; }

  private:
    // Closes the download file; false when its last bytes could not be written.
    bool closeFile();
    void fail(const std::string& message);

    TransferHandle transfer_;
    SearchDomainUpdatePlaces places_;
    std::string downloadPath_;
    UniqueFile file_;
    SearchDomainUpdateListener* listener_;
};

} // namespace volumira
