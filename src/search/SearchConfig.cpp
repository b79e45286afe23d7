#include "search/SearchConfig.h"

#include "atlas/ReferenceAtlas.h"
#include "platform/DataLocations.h"
#include "platform/FileUtils.h"
#include "search/SearchConfigReader.h"

#include <algorithm>
#include <mutex>
#include <stdexcept>

namespace volumira {

namespace {

struct InstanceSlot {
    std::mutex mutex;
    std::unique_ptr<SearchConfig> config;
};

InstanceSlot& instanceSlot() {
    static InstanceSlot slot;
    return slot;
}

const SearchDomain& entryAt(const std::vector<SearchDomain>& list, int i) {
    if (i < 0 || static_cast<std::size_t>(i) >= list.size())
        throw std::invalid_argument("Search domain index out of range.");
    return list[static_cast<std::size_t>(i)];
}

} // namespace

SearchConfig::SearchConfig(const Ontology& ontology, std::string installedDirectory)
    : ontology_(ontology), installedDirectory_(std::move(installedDirectory)) {}

SearchConfig::~SearchConfig() = default;

SearchConfig& SearchConfig::instance() {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    if (!slot.config)
        slot.config =
            loadSearchConfig(ReferenceAtlas::instance().ontology(), userDirectory(), dataDirectory());
    return *slot.config;
}

void SearchConfig::replaceInstance(std::unique_ptr<SearchConfig> config) {
    InstanceSlot& slot = instanceSlot();
    std::lock_guard lock(slot.mutex);
    slot.config = std::move(config);
}

void SearchConfig::releaseInstance() {
    replaceInstance(nullptr);
}

void SearchConfig::clear() {
    anatomic_.clear();
    similar_.clear();
}

void SearchConfig::setVersion(int version) {
    version_ = version;
}

int SearchConfig::version() const {
    return version_;
}

int SearchConfig::similarDomainCount() const {
    return static_cast<int>(similar_.size());
}

int SearchConfig::anatomicDomainCount() const {
    return static_cast<int>(anatomic_.size());
}

const Structure* SearchConfig::similarDomain(int i) const {
    return entryAt(similar_, i).structure;
}

const Structure* SearchConfig::anatomicDomain(int i) const {
    return entryAt(anatomic_, i).structure;
}

int SearchConfig::similarIndent(int i) const {
    return entryAt(similar_, i).indent;
}

int SearchConfig::anatomicIndent(int i) const {
    return entryAt(anatomic_, i).indent;
}

SearchDomain SearchConfig::domainOf(std::int32_t id, int indent) const {
    // The ontology answers unknown ids with its "No Annotation" slot, which is no structure to search in.
    const Structure& found = ontology_.structureById(id);
    const Structure* structure = &found == &ontology_.structureAt(0) ? nullptr : &found;
    // The lists indent by this many steps; a negative count would be no indentation at best.
    return {structure, std::max(indent, 0)};
}

void SearchConfig::addSimilarDomain(std::int32_t id, int indent) {
    similar_.push_back(domainOf(id, indent));
}

void SearchConfig::addAnatomicDomain(std::int32_t id, int indent) {
    anatomic_.push_back(domainOf(id, indent));
}

void SearchConfig::setCoronal(bool on) {
    coronal_ = on;
}

void SearchConfig::setSagittal(bool on) {
    sagittal_ = on;
}

bool SearchConfig::coronal() const {
    return coronal_;
}

bool SearchConfig::sagittal() const {
    return sagittal_;
}

void SearchConfig::loadInstalled() {
    const std::string path = installedDirectory_ + kSearchDomainsFile;
    if (!fileExists(path))
        throw std::runtime_error(
            "Volumira is missing a critical configuration file. Please try reinstalling the application.");
    SearchConfigReader reader(path, this);
}

bool SearchConfig::similarSearchOffered(int plane) const {
    if (plane == 0) return coronal_;
    if (plane == 1) return sagittal_;
    return true;
}

std::unique_ptr<SearchConfig> loadSearchConfig(const Ontology& ontology, const std::string& userDirectory,
                                               const std::string& dataDirectory) {
    auto config = std::make_unique<SearchConfig>(ontology, dataDirectory);
    const std::string userCopy = userDirectory + kSearchDomainsFile;
    if (fileExists(userCopy)) {
        try {
            SearchConfigReader reader(userCopy, config.get());
            return config;
        } catch (const std::exception&) {
            // A broken download is no reason to stop: the installed copy still works. Start afresh so that
            // the entries read before the failure do not stand twice in the lists.
            config = std::make_unique<SearchConfig>(ontology, dataDirectory);
        }
    }
    config->loadInstalled();
    return config;
}

} // namespace volumira
