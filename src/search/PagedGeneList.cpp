#include "search/PagedGeneList.h"

#include "platform/FileUtils.h"
#include "preferences/UserPreferences.h"
#include "search/CorranaDatabase.h"
#include "search/GeneListFile.h"
#include "search/GeneQuery.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace volumira {

namespace {

constexpr const char* kSearching = "Searching...";

// A line without the carriage return that files written on Windows carry.
bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

PagedGeneListListener::~PagedGeneListListener() = default;
GeneQueryCompletionListener::~GeneQueryCompletionListener() = default;

PagedGeneList::PagedGeneList(std::string domain, int pageSize)
    : domain_(std::move(domain)), pageSize_(pageSize) {
    if (pageSize <= 0) throw std::invalid_argument("Page size cannot be less than or equal to zero.");
}

// The query goes first: its request must not report into a list that is half destroyed.
PagedGeneList::~PagedGeneList() {
    query_.reset();
}

void PagedGeneList::queryStarted(GeneQuery*) {
    setStatus("Receiving results list...", PagedGeneListListener::kStatusChanged, 0);
}

void PagedGeneList::queryComplete(GeneQuery*) {
    setStatus("", PagedGeneListListener::kRequestComplete, 0);
}

void PagedGeneList::queryFailed(GeneQuery*, const std::string& message) {
    failed_ = true;
    setStatus("Error: " + message, PagedGeneListListener::kRequestFailed, 0);
}

void PagedGeneList::setTitle(std::string title) {
    title_ = std::move(title);
}

const std::string& PagedGeneList::title() const {
    return title_;
}

const std::string& PagedGeneList::domain() const {
    return domain_;
}

bool PagedGeneList::geneResults() const {
    return geneResults_;
}

void PagedGeneList::setGeneResults(bool on) {
    geneResults_ = on;
}

int PagedGeneList::currentPage() const {
    return currentPage_;
}

int PagedGeneList::size() const {
    return size_;
}

int PagedGeneList::pageCount() const {
    return pageCount_;
}

GeneQuery& PagedGeneList::ensureQuery() {
    if (!query_) query_ = std::make_unique<GeneQuery>(this, this);
    return *query_;
}

void PagedGeneList::setStatus(std::string status, int event, int value) {
    status_ = std::move(status);
    notify(event, value);
}

template <typename Request> void PagedGeneList::startRequest(Request request) {
    failed_ = false;
    try {
        request();
    } catch (const std::exception& e) {
        queryFailed(query_.get(), e.what());
        throw;
    }
}

void PagedGeneList::searchImageSeries(const std::string& url, int geneId, std::string title,
                                      std::string domain) {
    // The title first in every search, so that all the start tells the listeners (the "Searching..." status,
    // the results of a local search, a failure) reaches a page whose title line is already this search's.
    title_ = std::move(title);
    domain_ = std::move(domain);
    geneResults_ = false;
    GeneQuery& query = ensureQuery();
    setStatus(kSearching, PagedGeneListListener::kStatusChanged, 0);
    startRequest([&] { query.searchImageSeries(url, geneId); });
}

void PagedGeneList::searchText(const std::string& url, const std::string& text, std::string title,
                               std::string domain, bool anatomic) {
    title_ = std::move(title);
    domain_ = std::move(domain);
    geneResults_ = true;
    GeneQuery& query = ensureQuery();
    setStatus(kSearching, PagedGeneListListener::kStatusChanged, 0);
    startRequest([&] { query.searchText(url, text, anatomic); });
}

std::string PagedGeneList::correlationDatabasePath() const {
    if (correlationDatabase_) return *correlationDatabase_;
    return CorranaDatabase::isAvailable() ? CorranaDatabase::defaultPath() : std::string();
}

void PagedGeneList::searchSimilar(const std::string& url, int seriesId, int structureId, std::string title,
                                  std::string domain, int planes, int count) {
    title_ = std::move(title);
    domain_ = std::move(domain);
    geneResults_ = true;
    const std::string database = correlationDatabasePath();
    if (database.empty()) {
        GeneQuery& query = ensureQuery();
        setStatus(kSearching, PagedGeneListListener::kStatusChanged, 0);
        startRequest([&] { query.searchSimilar(url, seriesId, structureId, planes); });
    } else {
        // A server request still running would fill the list with another search's results.
        if (query_) query_->cancel();
        failed_ = false;
        clear(false);
        try {
            CorranaDatabase(database).findSimilarGenes(seriesId, structureId, *this, count);
        } catch (const std::exception& e) {
            queryFailed(nullptr, e.what());
        }
        if (!failed_) queryComplete(nullptr);
    }
}

void PagedGeneList::cancel() {
    setStatus("", PagedGeneListListener::kStatusChanged, 0);
    if (query_) query_->cancel();
}

void PagedGeneList::showPage(int page) {
    if (page < 0) page = 0;
    if (page >= pageCount_ && pageCount_ > 0) page = pageCount_ - 1;
    if (page != currentPage_) {
        currentPage_ = page;
        notify(PagedGeneListListener::kPageChanged, page);
    }
    const long long first = static_cast<long long>(page) * pageSize_;
    const long long end = std::min(first + pageSize_, static_cast<long long>(size_));
    bool missing = false;
    for (long long i = first; i < end && !missing; ++i)
        missing = results_.find(static_cast<int>(i)) == results_.end();
    if (missing && query_) {
        setStatus(kSearching, PagedGeneListListener::kStatusChanged, page);
        startRequest([&] { query_->requestPage(page); });
        return;
    }
    for (long long i = first; i < end; ++i)
        notify(PagedGeneListListener::kResultStored, static_cast<int>(i));
}

std::string PagedGeneList::statusText() const {
    std::string text = status_;
    if (!totalKnown_) return text;
    text += "     " + std::to_string(size_) + " experiments";
    if (size_ > 0) {
        const long long first = static_cast<long long>(currentPage_) * pageSize_;
        const long long end = std::min(first + pageSize_, static_cast<long long>(size_));
        text += ", displaying " + std::to_string(first + 1) + "-" + std::to_string(end);
    }
    return text;
}

void PagedGeneList::addResult(std::unique_ptr<GeneExpression> expression, int index) {
    // The last int is no index: the size after it could not be counted.
    if (index < 0 || index == std::numeric_limits<int>::max())
        throw std::invalid_argument("AddGene index out of range.");
    if (index >= size_) {
        size_ = index + 1;
        updatePageCount();
    }
    results_[index] = std::move(expression);
    notify(PagedGeneListListener::kResultStored, index);
}

void PagedGeneList::appendResult(std::unique_ptr<GeneExpression> expression) {
    if (size_ == std::numeric_limits<int>::max()) throw std::invalid_argument("Gene list size out of range.");
    const int index = size_;
    results_[index] = std::move(expression);
    ++size_;
    updatePageCount();
    notify(PagedGeneListListener::kResultStored, index);
}

GeneExpression* PagedGeneList::result(int index) const {
    if (index < 0 || index >= size_) throw std::invalid_argument("Gene list index out of range.");
    const auto found = results_.find(index);
    return found == results_.end() ? nullptr : found->second.get();
}

void PagedGeneList::clear(bool forImport) {
    results_.clear();
    size_ = 0;
    currentPage_ = 0;
    pageCount_ = 0;
    totalKnown_ = false;
    notify(forImport ? PagedGeneListListener::kClearedForImport : PagedGeneListListener::kCleared, 0);
}

void PagedGeneList::setTotal(int n) {
    if (n < 0) throw std::invalid_argument("Gene list size out of range.");
    results_.erase(results_.lower_bound(n), results_.end());
    size_ = n;
    updatePageCount();
    totalKnown_ = true;
    notify(PagedGeneListListener::kTotalKnown, 0);
}

void PagedGeneList::addListener(PagedGeneListListener* listener) {
    if (listener && std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end())
        listeners_.push_back(listener);
}

void PagedGeneList::removeListener(PagedGeneListListener* listener) {
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void PagedGeneList::notify(int event, int value) {
    // A listener may unregister itself (or another) while being told.
    const std::vector<PagedGeneListListener*> listeners = listeners_;
    for (PagedGeneListListener* listener : listeners)
        if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
            listener->listChanged(event, *this, value);
}

void PagedGeneList::updatePageCount() {
    pageCount_ = static_cast<int>((static_cast<long long>(size_) + pageSize_ - 1) / pageSize_);
}

void PagedGeneList::loadFile(const std::string& path) {
    // A search still receiving would store its late pages over the imported genes.
    if (query_) query_->cancel();
    clear(true);
    // Whatever was read counts, also when the import ends in an error.
    const auto markFinal = [this] {
        updatePageCount();
        status_.clear();
        totalKnown_ = true;
        notify(PagedGeneListListener::kTotalKnown, 0);
    };
    try {
        std::fstream in;
        openFileStream(in, path, std::ios::in);
        if (!in.is_open()) throw std::runtime_error("Gene list file could not be opened: " + path);
        title_ = fileNameOf(path);
        geneResults_ = true;
        status_ = "Loading gene list file...";
        importLines(in, path);
    } catch (...) {
        markFinal();
        throw;
    }
    markFinal();
}

void PagedGeneList::importLines(std::istream& in, const std::string& path) {
    std::string line;
    readLine(in, line);
    const std::vector<std::string> header = splitGeneListLine(line);
    if (header.size() < 2)
        throw std::runtime_error("The gene list file is not in the expected format: " + path);
    const GeneListColumns columns(header);
    const bool experimentLookup = !UserPreferences::instance().experimentGridLookupUrl().empty();
    while (readLine(in, line)) {
        const auto gene = columns.read(splitGeneListLine(line));
        if (!gene) continue;
        const int index = size_;
        results_[index] = std::make_unique<GeneExpression>(*gene, experimentLookup);
        ++size_;
        if (index < pageSize_) notify(PagedGeneListListener::kResultStored, index);
        if (size_ == kImportQuestionAt && !(importQuestion_ && importQuestion_(kImportQuestion))) break;
    }
    if (in.bad()) throw std::runtime_error("Gene list file could not be read: " + path);
}

} // namespace volumira
