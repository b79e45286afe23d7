#pragma once

// The anatomical structures a user may pick as search domains: one list for the anatomic search and one
// for the similar-gene search, each entry with an indentation depth, and the section planes for which the
// similar-gene search is offered. Read from "SearchDomains.xml".

#include "atlas/Ontology.h"
#include "atlas/Structure.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

inline constexpr const char* kSearchDomainsFile = "SearchDomains.xml";

struct SearchDomain {
    // Null when the ontology has no structure with the entry's id; lists shown to the user skip it.
    const Structure* structure = nullptr;
    int indent = 0;
};

class SearchConfig {
  public:
    // Structures come from ontology, which must outlive the configuration. loadInstalled() reads the
    // copy in installedDirectory (ending in "/").
    SearchConfig(const Ontology& ontology, std::string installedDirectory);
    virtual ~SearchConfig();
    SearchConfig(const SearchConfig&) = delete;
    SearchConfig& operator=(const SearchConfig&) = delete;

    // The process-wide configuration over the reference atlas's ontology, read on first use from the
    // per-user copy or else the installed one; a failed read keeps nothing, so the next call tries again.
    static SearchConfig& instance();
    // Puts a newly read configuration in place of the current one, which is deleted.
    static void replaceInstance(std::unique_ptr<SearchConfig> config);
    static void releaseInstance();

    // Empties both lists; version and switches stay.
    virtual void clear();
    virtual void setVersion(int version);
    virtual int version() const;
    virtual int similarDomainCount() const;
    virtual int anatomicDomainCount() const;
    // Index accessors throw std::invalid_argument outside 0..count-1.
    virtual const Structure* similarDomain(int i) const;
    virtual const Structure* anatomicDomain(int i) const;
    virtual int similarIndent(int i) const;
    virtual int anatomicIndent(int i) const;
    // Appends the structure with this id (or none); a negative indent counts as 0.
    virtual void addSimilarDomain(std::int32_t id, int indent);
    virtual void addAnatomicDomain(std::int32_t id, int indent);
    virtual void setCoronal(bool on);
    virtual void setSagittal(bool on);
    virtual bool coronal() const;
    virtual bool sagittal() const;
    // Reads the installed copy. Throws std::runtime_error "Volumira is missing a critical configuration
    // file. Please try reinstalling the application." when it cannot be opened, and the reader's errors.
    virtual void loadInstalled();

    // Whether the similar-gene search is offered for an image series of this plane: 0 coronal, 1 sagittal;
    // other planes always.
    bool similarSearchOffered(int plane) const;

  private:
    SearchDomain domainOf(std::int32_t id, int indent) const;

    const Ontology& ontology_;
    std::string installedDirectory_;
    std::vector<SearchDomain> anatomic_;
    std::vector<SearchDomain> similar_;
    int version_ = 0;
    bool coronal_ = false;
    bool sagittal_ = false;
};

// Reads userDirectory's copy when it exists and reads without error, else the installed copy in
// dataDirectory (whose errors pass on). Both directories end in "/".
std::unique_ptr<SearchConfig> loadSearchConfig(const Ontology& ontology, const std::string& userDirectory,
                                               const std::string& dataDirectory);

} // namespace volumira
