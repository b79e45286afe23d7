#pragma once

// The data server's gene search service: a text search, the image series of one gene and the similar-gene
// search, one page of ten results at a time, as SOAP 1.1 requests. The response is parsed as it arrives;
// every result record becomes a gene (metadata only) stored at its absolute index in the paged list.

#include "expression/GeneExpression.h"
#include "net/NetEventListener.h"
#include "net/NetFile.h"
#include "search/GeneQueryCompletionListener.h"
#include "xml/XMLParser.h"

#include <cstdint>
#include <string>

namespace volumira {

class PagedGeneList;

// The namespace of the gene search service's operations.
inline constexpr const char* kGeneSearchNamespace = "urn:volumira:GeneSearchService";

class GeneQuery : public NetEventListener, public XMLElementHandler {
  public:
    static constexpr int kPageSize = 10;

    // Neither is owned; both may be null (records are then not built, reports not passed on).
    GeneQuery(PagedGeneList* list, GeneQueryCompletionListener* listener);
    // Cancels a running request.
    ~GeneQuery() override;
    GeneQuery(const GeneQuery&) = delete;
    GeneQuery& operator=(const GeneQuery&) = delete;

    void transferComplete(const std::uint8_t* data, std::size_t length) override;
    void transferFailed(const std::string& message) override;
    void headersReceived(const std::string& contentType, std::uint64_t contentLength) override;
    void dataReceived(const std::uint8_t* data, std::size_t length) override;

    // Each search cancels a running request, forgets the other searches' arguments, clears the list and
    // requests page 0; errors of requestPage pass on.
    virtual void searchImageSeries(const std::string& url, int geneId);
    virtual void searchText(const std::string& url, const std::string& text, bool anatomic);
    virtual void searchSimilar(const std::string& url, int seriesId, int structureId, int planes);
    virtual void cancel();
    // Throws std::runtime_error "Bad query." without a search, "Could not connect to " + url when the
    // request cannot be created.
    virtual void requestPage(int page);

    // The SOAP body that asks for this page. Throws std::runtime_error "Bad query." without a search.
    std::string requestBody(int page) const;
    bool isRunning() const { return static_cast<bool>(transfer_); }
    // A response longer than this fails the query; for later requests.
    void setMaxResponseBytes(std::uint64_t limit) { maxResponseBytes_ = limit; }
    // The last total the server reported; -1 before any.
    int total() const { return total_; }

    void startElement(const char* name, const char** attributes) override;
    void endElement(const char* name) override;
    void characterData(const char* text, std::size_t length) override;

  private:
    void completeRecord();
    void forgetSearch();
    void resetParser();
    // Parses the next piece of the response; a reset asked for meanwhile happens afterwards.
    void feed(const std::uint8_t* data, std::size_t length, bool isFinal);

    bool anatomic_ = false;
    std::string url_;
    // Escaped for the request body.
    std::string text_;
    int geneId_ = 0;
    int seriesId_ = 0;
    int structureId_ = 0;
    int planes_ = 0;
    TransferHandle transfer_;
    std::uint64_t maxResponseBytes_ = kMaxXmlBytes;
    GeneQueryCompletionListener* listener_;
    int total_ = -1;
    int nextIndex_ = 0;
    XMLParser parser_;
    bool parsing_ = false;
    bool resetAfterParse_ = false;
    // The record being read. Its "lastProcessedDate" is not kept: genes do not carry it.
    GeneExpression::SearchResult record_;
    bool inGene_ = false;
    PagedGeneList* list_;
    std::string textBuffer_;
};

} // namespace volumira
