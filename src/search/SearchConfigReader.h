#pragma once

// Reads a "SearchDomains.xml" file into a search configuration.

#include "search/SearchConfig.h"
#include "xml/XMLParser.h"

#include <string>

namespace volumira {

class SearchConfigReader : public XMLElementHandler {
  public:
    // Reads the whole file into config, appending to its lists. Throws std::invalid_argument for a null
    // config or an empty path, std::runtime_error when the file cannot be opened, read or parsed, or
    // leaves either list empty.
    SearchConfigReader(const std::string& path, SearchConfig* config);

    void startElement(const char* name, const char** attributes) override;
    void endElement(const char*) override {}
    void characterData(const char*, std::size_t) override {}

  private:
    SearchConfig* config_;
    XMLParser parser_;
    bool inAnatomic_ = false;
    bool inSimilar_ = false;
};

} // namespace volumira
