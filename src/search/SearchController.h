#pragma once

#include <string>

namespace volumira {

// Where every search that fills a result tab starts; the document implements it and runs the search in
// the list of the result tab it brings forward.
class SearchController {
  public:
    virtual ~SearchController() = default;
    // A text search; followUp picks which result tab is brought forward.
    virtual void startTextSearch(const std::string& title, const std::string& text, bool followUp) = 0;
    // Every image series of a gene; the list's title becomes the name followed by " (all)".
    virtual void listImageSeries(const std::string& name, int geneId) = 0;
    // Genes whose expression resembles that of the image series; asks for the domain and planes first.
    virtual void findSimilar(const std::string& name, int imageSeriesId) = 0;
};

} // namespace volumira
