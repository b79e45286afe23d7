#pragma once

#include "atlas/AtlasTestData.h"
#include "atlas/Ontology.h"
#include "search/SearchConfig.h"
#include "support/TempDir.h"

#include <string>

namespace volumira::test {

// In the form the sample data generator writes: the same domains in both sections.
inline const char* const kSampleSearchDomains = R"(<?xml version="1.0" encoding="UTF-8"?>
<SearchDomains version="1">
  <AnatomicSearch>
    <Domain id="997" indent="0"/>
    <Domain id="688" indent="1"/>
    <Domain id="549" indent="1"/>
  </AnatomicSearch>
  <Corrana coronal="true" sagittal="true">
    <Domain id="997" indent="0"/>
    <Domain id="1097" indent="1"/>
  </Corrana>
</SearchDomains>
)";

// A temp dir with the test ontology (root 997, CTX 688, TH 549, HY 1097) read from it.
class SearchFixture {
  public:
    SearchFixture() : ontology_(writeOntology(dir)) {}

    const Ontology& ontology() const { return ontology_; }
    const Structure* byAcronym(const char* acronym) const { return ontology_.structureByAcronym(acronym); }
    // Writes text as name in the temp dir and returns its path.
    std::string write(const std::string& name, const std::string& text) const {
        writeBytes(dir.file(name), text);
        return dir.file(name);
    }

    TempDir dir;

  private:
    static std::string writeOntology(const TempDir& dir) {
        writeBytes(dir.file("ontology.csv"), kTestOntology);
        return dir.file("ontology.csv");
    }
    Ontology ontology_;
};

} // namespace volumira::test
