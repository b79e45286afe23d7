#include "search/GeneQuery.h"

#include "expression/GeneExpression.h"
#include "net/NetFile.h"
#include "search/PagedGeneList.h"
#include "search/TextValues.h"
#include "xml/EscapeXml.h"

#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>

namespace volumira {

namespace {

void appendParameter(std::string& body, int index, const std::string& value) {
    const std::string n = std::to_string(index);
    body += "<in" + n + ">" + value + "</in" + n + ">\n";
}

} // namespace

GeneQuery::GeneQuery(PagedGeneList* list, GeneQueryCompletionListener* listener)
    : listener_(listener), parser_(this), list_(list) {}

GeneQuery::~GeneQuery() {
    cancel();
}

void GeneQuery::resetParser() {
    // Ending the document must not deliver events of a response nobody waits for any more.
    parser_.setHandler(nullptr);
    // A listener of the list may cancel or start a search while a record is being handed over, that is
    // inside the parser: the parser cannot be ended from its own callback, so that waits for feed().
    if (parsing_) {
        resetAfterParse_ = true;
        return;
    }
    parser_.parse(nullptr, 0, true);
    parser_.setHandler(this);
}

void GeneQuery::feed(const std::uint8_t* data, std::size_t length, bool isFinal) {
    parsing_ = true;
    try {
        parser_.parse(reinterpret_cast<const char*>(data), length, isFinal);
    } catch (...) {
        parsing_ = false;
        throw;
    }
    parsing_ = false;
    if (resetAfterParse_) {
        resetAfterParse_ = false;
        resetParser();
    }
}

void GeneQuery::cancel() {
    transfer_.cancel();
    resetParser();
}

void GeneQuery::forgetSearch() {
    cancel();
    anatomic_ = false;
    text_.clear();
    geneId_ = 0;
    seriesId_ = 0;
    structureId_ = 0;
    planes_ = 0;
}

void GeneQuery::searchImageSeries(const std::string& url, int geneId) {
    forgetSearch();
    url_ = url;
    geneId_ = geneId;
    if (list_) list_->clear(false);
    requestPage(0);
}

void GeneQuery::searchText(const std::string& url, const std::string& text, bool anatomic) {
    forgetSearch();
    url_ = url;
    text_ = escapeXml(text);
    anatomic_ = anatomic;
    if (list_) list_->clear(false);
    requestPage(0);
}

void GeneQuery::searchSimilar(const std::string& url, int seriesId, int structureId, int planes) {
    forgetSearch();
    url_ = url;
    seriesId_ = seriesId;
    structureId_ = structureId;
    planes_ = planes;
    if (list_) list_->clear(false);
    requestPage(0);
}

std::string GeneQuery::requestBody(int page) const {
    const char* operation = !text_.empty()  ? "getGeneList1"
                            : geneId_ > 0   ? "getImageSeriesList"
                            : seriesId_ > 0 ? "getCorrana1"
                                            : nullptr;
    if (operation == nullptr) throw std::runtime_error("Bad query.");
    const std::string domain = list_ ? escapeXml(list_->domain()) : std::string();
    const std::string first = std::to_string(static_cast<long long>(page) * kPageSize);
    const std::string pageSize = std::to_string(kPageSize);

    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
                       "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                       "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n"
                       "<soap:Body>\n";
    body += "<" + std::string(operation) + " xmlns=\"" + kGeneSearchNamespace + "\">\n";
    if (!text_.empty()) {
        appendParameter(body, 0, text_);
        appendParameter(body, 1, pageSize);
        appendParameter(body, 2, first);
        appendParameter(body, 3, anatomic_ ? "anatomic" : "gene");
        appendParameter(body, 4, "false");
        body += "<in5 />\n";
        appendParameter(body, 6, domain);
    } else if (geneId_ > 0) {
        appendParameter(body, 0, std::to_string(geneId_));
        appendParameter(body, 1, domain);
    } else {
        appendParameter(body, 0, pageSize);
        appendParameter(body, 1, first);
        appendParameter(body, 2, domain);
        appendParameter(body, 3, std::to_string(structureId_));
        appendParameter(body, 4, std::to_string(seriesId_));
        appendParameter(body, 5, std::to_string(planes_));
    }
    body += "</" + std::string(operation) + ">\n</soap:Body></soap:Envelope>\n";
    return body;
}

void GeneQuery::requestPage(int page) {
    cancel();
    const long long first = static_cast<long long>(page) * kPageSize;
    if (page < 0 || first > std::numeric_limits<int>::max())
        throw std::invalid_argument("Result page out of range.");
    nextIndex_ = static_cast<int>(first);
    record_ = {};
    inGene_ = false;
    const std::string body = requestBody(page);
    try {
        transfer_ = postUrl(url_, body, this, false, maxResponseBytes_);
    } catch (const std::exception&) {
        transfer_.cancel();
    }
    if (!transfer_) throw std::runtime_error("Could not connect to " + url_);
}

void GeneQuery::headersReceived(const std::string&, std::uint64_t) {
    if (listener_) listener_->queryStarted(this);
}

void GeneQuery::dataReceived(const std::uint8_t* data, std::size_t length) {
    // A malformed response is not reported: the records already handed over stay.
    if (data != nullptr) feed(data, length, false);
}

void GeneQuery::transferComplete(const std::uint8_t*, std::size_t) {
    transfer_.cancel();
    feed(nullptr, 0, true);
    // A search started by a listener while the last records were handed over has a request of its own.
    if (listener_ && !transfer_) listener_->queryComplete(this);
}

void GeneQuery::transferFailed(const std::string& message) {
    transfer_.cancel();
    resetParser();
    if (listener_) listener_->queryFailed(this, message);
}

void GeneQuery::startElement(const char* name, const char**) {
    textBuffer_.clear();
    if (std::strcmp(name, "Gene") == 0) inGene_ = true;
}

void GeneQuery::characterData(const char* text, std::size_t length) {
    textBuffer_.append(text, length);
}

void GeneQuery::endElement(const char* name) {
    const std::string element(name);
    const std::string& text = textBuffer_;
    if (element == "totalResultsSize") {
        total_ = leadingInteger(text);
        if (list_ && total_ >= 0 && total_ >= list_->size()) list_->setTotal(total_);
    } else if (element == "geneId") {
        record_.geneId = leadingInteger(text);
    } else if (element == "imageSeriesId") {
        record_.imageSeriesId = leadingInteger(text);
    } else if (element == "geneSymbol") {
        record_.symbol = text;
    } else if (element == "geneName") {
        record_.name = text;
    } else if (element == "expressionFileSize") {
        record_.fileSize = leadingInteger(text);
    } else if (element == "expressionFileUrl") {
        record_.expressionFileUrl = text;
    } else if (element == "plane") {
        if (equalsIgnoringCase(text, "coronal")) record_.plane = 0;
        if (equalsIgnoringCase(text, "sagittal")) record_.plane = 1;
    } else if (element == "probeOrientation") {
        if (equalsIgnoringCase(text, "sense")) record_.probeOrientation = 0;
        if (equalsIgnoringCase(text, "antisense")) record_.probeOrientation = 1;
    } else if (element == "score") {
        record_.score = leadingFloat(text);
    } else if (element == "processingStatus") {
        record_.available = equalsIgnoringCase(text, "Available");
    } else if (element == "qcState") {
        record_.available = leadingInteger(text) == 1;
    } else if (element == "condition") {
        record_.condition = text;
    } else if (!inGene_) {
        if (element == "ImageSeries" || element == "Correlation") completeRecord();
    } else if (element == "id") {
        record_.geneId = leadingInteger(text);
    } else if (element == "Gene") {
        inGene_ = false;
        completeRecord();
    }
}

void GeneQuery::completeRecord() {
    if (list_ && nextIndex_ < std::numeric_limits<int>::max()) {
        list_->addResult(std::make_unique<GeneExpression>(record_), nextIndex_++);
    }
    record_ = {};
}

} // namespace volumira
