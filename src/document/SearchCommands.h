#pragma once

#include "search/SearchController.h"

#include <functional>
#include <optional>
#include <string>

namespace volumira {

class GeneExpression;
class Ontology;
class ResultTabs;
class SearchConfig;
class UserPreferences;

// Where a similar-gene search compares: a structure's id and the planes of section (2 coronal,
// 1 sagittal, 3 both).
struct SimilarDomain {
    int structureId = -1;
    int planes = 2;
};

// Asks the user for the domain of a similar-gene search; nothing when cancelled.
class SimilarDomainChooser {
  public:
    virtual ~SimilarDomainChooser() = default;
    virtual std::optional<SimilarDomain> chooseSimilarDomain() = 0;
};

// Whether a gene can be compared with others: it needs its image series, and a plane the search
// configuration offers the comparison for.
bool allowsSimilarSearch(const GeneExpression& gene, const SearchConfig& config);

// The document's searches: each brings the result tab of its kind forward and starts on its list.
// Search errors (a request that cannot be sent) pass to the caller.
class SearchCommands : public SearchController {
  public:
    // Everything given must outlive this object; focusView gives the keyboard to the view after a search.
    SearchCommands(ResultTabs& tabs, const UserPreferences& preferences, const Ontology& ontology,
                   SimilarDomainChooser& chooser, std::function<void()> focusView);

    void startTextSearch(const std::string& title, const std::string& text, bool followUp) override;
    void listImageSeries(const std::string& name, int geneId) override;
    void findSimilar(const std::string& name, int imageSeriesId) override;
    // The similar-gene search in a chosen domain, titled name + " (" + the structure's acronym + ")".
    void findSimilarIn(const std::string& name, int imageSeriesId, const SimilarDomain& domain);
    // Nothing for an empty query.
    void startAnatomicSearch(const std::string& query, const std::string& caption);
    // Reads a gene list file into the results tab; the question is asked during a long import.
    void importGeneList(const std::string& path, const std::function<bool(const std::string&)>& question);

  private:
    void finish();

    ResultTabs& tabs_;
    const UserPreferences& preferences_;
    const Ontology& ontology_;
    SimilarDomainChooser& chooser_;
    std::function<void()> focusView_;
};

} // namespace volumira
