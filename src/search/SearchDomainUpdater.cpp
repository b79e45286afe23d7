#include "search/SearchDomainUpdater.h"

#include "atlas/ReferenceAtlas.h"
#include "net/NetFile.h"
#include "platform/DataLocations.h"
#include "preferences/UserPreferences.h"
#include "search/SearchConfig.h"
#include "search/SearchConfigReader.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

namespace volumira {

namespace {

constexpr const char* kDownloadFile = "SearchDomains.new";

} // namespace

SearchDomainUpdateListener::~SearchDomainUpdateListener() = default;

SearchDomainUpdatePlaces SearchDomainUpdatePlaces::ofProcess() {
    return {UserPreferences::instance().searchDomainsUrl(), volumira::userDirectory(),
            volumira::dataDirectory(), &ReferenceAtlas::instance().ontology()};
}

SearchDomainUpdater::SearchDomainUpdater(SearchDomainUpdateListener* listener)
    : SearchDomainUpdater(listener, SearchDomainUpdatePlaces::ofProcess()) {}

SearchDomainUpdater::SearchDomainUpdater(SearchDomainUpdateListener* listener,
                                         SearchDomainUpdatePlaces places)
    : places_(std::move(places)), downloadPath_(places_.userDirectory + kDownloadFile), listener_(listener) {
    file_ = openFile(downloadPath_, "wb");
    if (!file_) throw std::runtime_error("Search domain file could not be opened for writing.");
    try {
        // The file is read whole as XML afterwards.
        transfer_ = openUrl(places_.url, this, false, kMaxXmlBytes);
    } catch (const std::exception&) {
        transfer_.cancel();
    }
    if (!transfer_) {
        file_.reset();
        deleteFile(downloadPath_);
        throw std::runtime_error("Could not download search domain update.");
    }
}

SearchDomainUpdater::~SearchDomainUpdater() = default;

void SearchDomainUpdater::abort() {
    transfer_.cancel();
}

bool SearchDomainUpdater::closeFile() {
    if (!file_) return true;
    return std::fclose(file_.release()) == 0;
}

void SearchDomainUpdater::dataReceived(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length == 0) return;
    if (std::fwrite(data, 1, length, file_.get()) == length) return;
    transfer_.cancel();
    fail("Search domain update failed. File write error.");
}

void SearchDomainUpdater::transferFailed(const std::string& message) {
    transfer_.cancel();
    fail(message);
}

void SearchDomainUpdater::fail(const std::string& message) {
    closeFile();
    deleteFile(downloadPath_);
    // Last: the owner may destroy the updater inside the call.
    if (listener_) listener_->searchDomainUpdateFailed(this, message);
}

// Each listener call comes last: the owner may destroy the updater inside it.
void SearchDomainUpdater::transferComplete(const std::uint8_t*, std::size_t) {
    transfer_.cancel();
    // The last buffered bytes are written when the file is closed; a short file must not be installed.
    if (!closeFile()) {
        fail("Search domain update failed. File write error.");
        return;
    }
    std::unique_ptr<SearchConfig> config;
    try {
        if (places_.ontology == nullptr) throw std::invalid_argument("Unexpected NULL pointer.");
        config = std::make_unique<SearchConfig>(*places_.ontology, places_.dataDirectory);
        // The reader insists on both domain lists, which is what makes the new list usable.
        SearchConfigReader(downloadPath_, config.get());
    } catch (const std::exception&) {
        config.reset();
    }
    if (!config) {
        // The download stays for a look at what the server sent.
        if (listener_)
            listener_->searchDomainUpdateFailed(this, "Could not read new search domain list file.");
    } else if (!replaceFile(downloadPath_, places_.userDirectory + kSearchDomainsFile)) {
        if (listener_)
            listener_->searchDomainUpdateFailed(this, "Search domain update could not be installed.");
    } else {
        SearchConfig::replaceInstance(std::move(config));
        if (listener_) listener_->searchDomainsUpdated(this);
    }
}

} // namespace volumira
