#pragma once

// Canned answers of the gene search service and a readable summary of what a list holds.

#include "search/PagedGeneList.h"

#include <sstream>
#include <string>
#include <vector>

namespace volumira::test {

inline const char* const kEnvelopeStart =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body>\n";
inline const char* const kEnvelopeEnd = "</soap:Body></soap:Envelope>\n";

// Three text-search records of a total of 42: the first has every field (its "qcState" of 1 comes after a
// failed "processingStatus"), the second takes its gene id from "geneId" and is marked unavailable by a
// later "qcState", and a record element with a prefix is not recognised.
inline std::string
geneListResponse(const std::string& totalElement = "<totalResultsSize>42</totalResultsSize>") {
    return std::string(kEnvelopeStart) + "<getGeneList1Response xmlns=\"urn:volumira:GeneSearchService\">\n" +
           totalElement +
           "\n<results>\n"
           "<Gene><id>14415</id><geneSymbol>Gad1</geneSymbol><geneName>glutamate decarboxylase 1</geneName>"
           "<imageSeriesId>79</imageSeriesId><plane>Coronal</plane><probeOrientation>ANTISENSE</"
           "probeOrientation>"
           "<expressionFileUrl>http://h/GridFile?imageseriesid=79&amp;level=2</expressionFileUrl>"
           "<expressionFileSize>1234</expressionFileSize><lastProcessedDate>2026-03-14</lastProcessedDate>"
           "<processingStatus>Failed</processingStatus><qcState>1</qcState><condition>adult &lt;P56&gt;"
           "</condition></Gene>\n"
           "<Gene><geneId>19293</geneId><geneSymbol>Pvalb</geneSymbol><geneName>parvalbumin</geneName>"
           "<imageSeriesId>80</imageSeriesId><plane>axial</plane><probeOrientation>sense</probeOrientation>"
           "<processingStatus>available</processingStatus><qcState>0</qcState><score>0.875</score></Gene>\n"
           "<Gene><ns:geneSymbol xmlns:ns=\"urn:x\">Hidden</ns:geneSymbol><geneSymbol>Calb1</geneSymbol>"
           "<plane>SAGITTAL</plane><imageSeriesId>81</imageSeriesId></Gene>\n"
           "</results></getGeneList1Response>" +
           kEnvelopeEnd;
}

// Records of the image-series and similar-gene searches.
inline std::string seriesResponse(const char* element, int first, int count, int total) {
    std::string body = std::string(kEnvelopeStart) + "<R xmlns=\"urn:volumira:GeneSearchService\">" +
                       "<totalResultsSize>" + std::to_string(total) + "</totalResultsSize><results>";
    for (int i = first; i < first + count; ++i)
        body += "<" + std::string(element) + "><geneSymbol>S" + std::to_string(i) +
                "</geneSymbol><imageSeriesId>" + std::to_string(1000 + i) + "</imageSeriesId><score>0." +
                std::to_string(9 - i % 10) + "</score></" + element + ">";
    return body + "</results></R>" + kEnvelopeEnd;
}

// One line per stored record, "index: fields", then the size and whether the total is known.
inline std::vector<std::string> describe(const PagedGeneList& list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list.size(); ++i) {
        const GeneExpression* g = list.result(i);
        if (g == nullptr) continue;
        std::ostringstream line;
        line << i << ": " << g->symbol() << " | " << g->name() << " | gene " << g->geneId() << " | series "
             << g->imageSeriesId() << " | plane " << g->plane() << " | probe " << g->probeOrientation()
             << " | " << g->expressionFileUrl() << " | " << g->fileSize() << " bytes | score " << g->score()
             << " | " << (g->isAvailable() ? "available" : "unavailable") << " | " << g->condition();
        lines.push_back(line.str());
    }
    lines.push_back("size " + std::to_string(list.size()) + (list.totalKnown() ? " final" : " open"));
    return lines;
}

} // namespace volumira::test
