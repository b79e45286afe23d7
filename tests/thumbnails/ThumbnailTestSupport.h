#pragma once

// What the page tests share: a search controller that records its calls, and lists of bare entries.

#include "expression/GeneExpression.h"
#include "search/PagedGeneList.h"
#include "search/SearchController.h"

#include <memory>
#include <string>
#include <vector>

namespace volumira::test {

// Writes each search it is asked for as one line.
class RecordingController : public SearchController {
  public:
    void startTextSearch(const std::string& title, const std::string& text, bool followUp) override {
        calls.push_back("text " + title + " " + text + (followUp ? " follow-up" : ""));
    }
    void listImageSeries(const std::string& name, int geneId) override {
        calls.push_back("series " + name + " " + std::to_string(geneId));
    }
    void findSimilar(const std::string& name, int imageSeriesId) override {
        calls.push_back("similar " + name + " " + std::to_string(imageSeriesId));
    }
    std::vector<std::string> calls;
};

// Fills the list with count entries "G0", "G1", ... that have nothing to look up, so that no transfer
// starts, and makes the total final.
inline void fillBare(PagedGeneList& list, int count) {
    for (int i = 0; i < count; ++i)
        list.addResult(std::make_unique<GeneExpression>("gene " + std::to_string(i), "G" + std::to_string(i)), i);
    list.setTotal(count);
}

} // namespace volumira::test
