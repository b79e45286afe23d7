#include "document/SearchCommands.h"

#include "atlas/Ontology.h"
#include "document/ResultTabs.h"
#include "expression/GeneExpression.h"
#include "preferences/UserPreferences.h"
#include "search/PagedGeneList.h"
#include "search/SearchConfig.h"

namespace volumira {

bool allowsSimilarSearch(const GeneExpression& gene, const SearchConfig& config) {
    return gene.imageSeriesId() != 0 && config.similarSearchOffered(gene.plane());
}

SearchCommands::SearchCommands(ResultTabs& tabs, const UserPreferences& preferences, const Ontology& ontology,
                               SimilarDomainChooser& chooser, std::function<void()> focusView)
    : tabs_(tabs), preferences_(preferences), ontology_(ontology), chooser_(chooser),
      focusView_(std::move(focusView)) {}

void SearchCommands::finish() {
    tabs_.updateTabTitle();
    if (focusView_) focusView_();
}

void SearchCommands::startTextSearch(const std::string& title, const std::string& text, bool followUp) {
    tabs_.showTabOfKind(followUp ? TabKind::FollowUp : TabKind::Results);
    PagedGeneList* list = tabs_.currentList();
    if (!list) return;
    list->searchText(preferences_.searchServiceUrl(), text, title, BrainDocTab::kDomain, false);
    finish();
}

void SearchCommands::listImageSeries(const std::string& name, int geneId) {
    tabs_.showTabOfKind(TabKind::FollowUp);
    PagedGeneList* list = tabs_.currentList();
    if (!list) return;
    list->searchImageSeries(preferences_.searchServiceUrl(), geneId, name + " (all)", BrainDocTab::kDomain);
    finish();
}

void SearchCommands::findSimilar(const std::string& name, int imageSeriesId) {
    const std::optional<SimilarDomain> domain = chooser_.chooseSimilarDomain();
    if (domain && domain->structureId >= 0) findSimilarIn(name, imageSeriesId, *domain);
}

void SearchCommands::findSimilarIn(const std::string& name, int imageSeriesId, const SimilarDomain& domain) {
    const std::string title = name + " (" + ontology_.structureById(domain.structureId).acronym + ")";
    tabs_.showTabOfKind(TabKind::Results);
    PagedGeneList* list = tabs_.currentList();
    if (!list) return;
    list->searchSimilar(preferences_.searchServiceUrl(), imageSeriesId, domain.structureId, title,
                        BrainDocTab::kDomain, domain.planes, 0);
    finish();
}

void SearchCommands::startAnatomicSearch(const std::string& query, const std::string& caption) {
    if (query.empty()) return;
    tabs_.showTabOfKind(TabKind::Results);
    PagedGeneList* list = tabs_.currentList();
    if (!list) return;
    list->searchText(preferences_.searchServiceUrl(), query, caption, BrainDocTab::kDomain, true);
    finish();
}

void SearchCommands::importGeneList(const std::string& path, const std::function<bool(const std::string&)>& question) {
    tabs_.showTabOfKind(TabKind::Results);
    PagedGeneList* list = tabs_.currentList();
    if (!list) return;
    list->setImportQuestion(question);
    list->loadFile(path);
    finish();
}

} // namespace volumira
