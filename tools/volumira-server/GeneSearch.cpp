#include "volumira-server/GeneSearch.h"

#include "sample-data/Anatomy.h"
#include "volumira-server/AnatomicQuery.h"
#include "xml/EscapeXml.h"
#include "xml/XMLParser.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cstring>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace volumira::server {

namespace {

// Thresholds of the anatomic filters: the share of a structure's voxels that must express, the mean
// level that counts as high, the share that counts as dense.
constexpr double kExpressedShare = 0.05, kHighLevel = 128.0, kDenseShare = 0.4;

std::string localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

// The operation (first element inside the Body) and its parameters (its child elements' text).
class RequestReader : public XMLElementHandler {
  public:
    void startElement(const char* name, const char**) override {
        const std::string local = localName(name);
        path_.push_back(local);
        text_.clear();
        if (path_.size() == 3 && path_[1] == "Body" && operation_.empty()) operation_ = local;
    }
    void endElement(const char*) override {
        if (path_.size() == 4 && path_[2] == operation_) parameters_[path_[3]] = text_;
        path_.pop_back();
        text_.clear();
    }
    void characterData(const char* text, std::size_t length) override { text_.append(text, length); }

    const std::string& operation() const { return operation_; }
    // An absent parameter reads as empty.
    std::string parameter(const std::string& name) const {
        const auto found = parameters_.find(name);
        return found == parameters_.end() ? std::string() : found->second;
    }

  private:
    std::vector<std::string> path_;
    std::string text_, operation_;
    std::map<std::string, std::string> parameters_;
};

int integerParameter(const RequestReader& r, const std::string& name, int lo, int hi) {
    std::string text = r.parameter(name);
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < lo || value > hi)
        throw SoapFault("Parameter " + name + " of " + r.operation() + " must be a number from " +
                        std::to_string(lo) + " to " + std::to_string(hi) + ".");
    return value;
}

void checkProject(const RequestReader& r, const std::string& name) {
    const std::string project = r.parameter(name);
    if (!project.empty() && project != kProjectCode) throw SoapFault("Unknown project \"" + project + "\".");
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void element(std::ostringstream& out, const char* name, const std::string& value) {
    out << '<' << name << '>' << escapeXml(value) << "</" << name << '>';
}

void element(std::ostringstream& out, const char* name, long long value) {
    out << '<' << name << '>' << value << "</" << name << '>';
}

std::string envelope(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\">\n<soap:Body>\n" +
           body + "</soap:Body></soap:Envelope>\n";
}

int structureIdOf(const std::string& acronym) {
    for (const sample::StructureInfo& s : sample::sampleStructures())
        if (s.acronym == acronym && s.depthForSearch >= 0) return s.id;
    return -1;
}

bool termHolds(const GeneRecord& gene, const AnatomicTerm& term, int structureId) {
    if (term.pattern && (term.pattern == 2) != gene.pattern.clustered) return false;
    for (const SeriesRecord* series : gene.series) {
        if (series->probeOrientation != 1) continue;
        const auto found = series->stats.find(structureId);
        if (found == series->stats.end() || !found->second.voxels) continue;
        const StructureStat& s = found->second;
        const double share = static_cast<double>(s.expressing) / static_cast<double>(s.voxels);
        if (share < kExpressedShare) continue;
        const double level = s.levelSum / static_cast<double>(s.expressing);
        if (term.level && (level >= kHighLevel) != (term.level == 2)) continue;
        if (term.density && (share >= kDenseShare) != (term.density == 2)) continue;
        return true;
    }
    return false;
}

} // namespace

std::string soapFault(const std::string& message) {
    return envelope("<soap:Fault><faultcode>soap:Client</faultcode><faultstring>" + escapeXml(message) +
                    "</faultstring></soap:Fault>\n");
}

GeneSearch::GeneSearch(const Catalogue& catalogue, GridFiles& grids, const Similarity& similarity)
    : catalogue_(catalogue), grids_(grids), similarity_(similarity) {}

std::string GeneSearch::answer(const std::string& request, const std::string& serverUrl) {
    RequestReader reader;
    XMLParser parser(&reader);
    if (!parser.parse(request.data(), request.size(), true))
        throw SoapFault("The request is not well-formed XML.");
    const std::string& operation = reader.operation();

    // What each operation found: a total, and the records of the requested page.
    struct Result {
        const SeriesRecord* series;
        double score;
    };
    std::vector<Result> page;
    std::size_t total = 0;
    const char* record = "Gene";
    const auto takePage = [&](const std::vector<Result>& all, int count, int start) {
        total = all.size();
        for (std::size_t i = static_cast<std::size_t>(start);
             i < all.size() && i < static_cast<std::size_t>(start) + count; ++i)
            page.push_back(all[i]);
    };

    if (operation == "getGeneList1") {
        const std::string text = reader.parameter("in0");
        const int count = integerParameter(reader, "in1", 0, 1000),
                  start = integerParameter(reader, "in2", 0, 1 << 30);
        checkProject(reader, "in6");
        if (text.empty()) throw SoapFault("The search text is empty.");
        std::vector<Result> all;
        if (reader.parameter("in3") == "anatomic") {
            AnatomicQuery query;
            try {
                query = parseAnatomicQuery(text);
            } catch (const std::invalid_argument& e) {
                throw SoapFault(e.what());
            }
            for (const auto& conjunction : query)
                for (const AnatomicTerm& term : conjunction)
                    if (structureIdOf(term.acronym) < 0)
                        throw SoapFault("\"" + term.acronym +
                                        "\" is not a structure of the anatomic search.");
            for (const GeneRecord& gene : catalogue_.genes()) {
                const bool match = std::any_of(query.begin(), query.end(), [&](const auto& conjunction) {
                    return std::all_of(conjunction.begin(), conjunction.end(), [&](const AnatomicTerm& term) {
                        return termHolds(gene, term, structureIdOf(term.acronym));
                    });
                });
                if (match) all.push_back({gene.series.front(), -1.0});
            }
        } else {
            // Exact symbols, then symbols that start with the text, then names that contain it.
            const std::string wanted = lower(text);
            std::vector<Result> groups[3];
            for (const GeneRecord& gene : catalogue_.genes()) {
                const std::string symbol = lower(gene.symbol);
                const int group = symbol == wanted                                     ? 0
                                  : symbol.rfind(wanted, 0) == 0                       ? 1
                                  : lower(gene.name).find(wanted) != std::string::npos ? 2
                                                                                       : -1;
                if (group >= 0) groups[group].push_back({gene.series.front(), -1.0});
            }
            for (const auto& group : groups)
                all.insert(all.end(), group.begin(), group.end());
        }
        takePage(all, count, start);
    } else if (operation == "getImageSeriesList") {
        const int geneId = integerParameter(reader, "in0", 1, 1 << 30);
        checkProject(reader, "in1");
        record = "ImageSeries";
        std::vector<Result> all;
        if (const GeneRecord* gene = catalogue_.geneById(geneId))
            for (const SeriesRecord* series : gene->series)
                all.push_back({series, -1.0});
        takePage(all, static_cast<int>(all.size()), 0);
    } else if (operation == "getCorrana1") {
        const int count = integerParameter(reader, "in0", 0, 1000),
                  start = integerParameter(reader, "in1", 0, 1 << 30);
        checkProject(reader, "in2");
        const int structureId = integerParameter(reader, "in3", 0, 1 << 30);
        const int seriesId = integerParameter(reader, "in4", 1, 1 << 30);
        const int planes = integerParameter(reader, "in5", 1, 3);
        if (!similarity_.hasStructure(structureId))
            throw SoapFault("No similarity data for structure " + std::to_string(structureId) + ".");
        record = "Correlation";
        std::vector<Result> all;
        if (const SeriesRecord* series = catalogue_.seriesById(seriesId))
            for (const Correlation& c : similarity_.correlations(structureId, series->experimentId)) {
                const SeriesRecord* other = catalogue_.seriesByExperiment(c.experimentId);
                if (other && (planes & (other->plane == 1 ? 1 : 2))) all.push_back({other, c.correlation});
            }
        takePage(all, count, start);
    } else {
        throw SoapFault(operation.empty() ? "The request names no operation."
                                          : "Unknown operation " + operation + ".");
    }

    // Every record announces the size of its download, which must be generated to be known: make the
    // page's files side by side.
    std::vector<std::int32_t> sizes(page.size());
    {
        std::atomic<std::size_t> next{0};
        std::mutex failureLock;
        std::exception_ptr failure;
        const auto work = [&] {
            try {
                for (std::size_t i = next++; i < page.size(); i = next++)
                    sizes[i] = grids_.downloadSize(*page[i].series);
            } catch (...) {
                const std::lock_guard lock(failureLock);
                failure = std::current_exception();
            }
        };
        std::vector<std::thread> workers;
        const std::size_t threads =
            std::min<std::size_t>(page.size(), std::max(1u, std::thread::hardware_concurrency()));
        for (std::size_t t = 1; t < threads; ++t)
            workers.emplace_back(work);
        work();
        for (auto& w : workers)
            w.join();
        if (failure) std::rethrow_exception(failure);
    }

    std::ostringstream out;
    out << '<' << operation << "Response xmlns=\"" << kServiceNamespace << "\">\n";
    element(out, "totalResultsSize", static_cast<long long>(total));
    out << "\n<results>\n";
    for (std::size_t i = 0; i < page.size(); ++i) {
        const Result& r = page[i];
        const SeriesRecord& s = *r.series;
        const GeneRecord& gene = catalogue_.geneOf(s);
        out << '<' << record << '>';
        if (std::string(record) == "Gene") element(out, "id", gene.geneId);
        element(out, "geneId", gene.geneId);
        element(out, "geneSymbol", gene.symbol);
        element(out, "geneName", gene.name);
        element(out, "imageSeriesId", s.imageSeriesId);
        element(out, "plane", s.plane == 0 ? "coronal" : "sagittal");
        element(out, "probeOrientation", s.probeOrientation == 1 ? "antisense" : "sense");
        element(out, "expressionFileUrl",
                serverUrl + "/GridFile?imageseriesid=" + std::to_string(s.imageSeriesId) +
                    "&level=" + std::to_string(kDownloadLevel));
        element(out, "expressionFileSize", sizes[i]);
        element(out, "lastProcessedDate", s.processedDate);
        element(out, "processingStatus", "Available");
        element(out, "qcState", 1);
        if (std::string(record) == "Correlation") {
            std::ostringstream score;
            score << r.score;
            element(out, "score", score.str());
        }
        out << "</" << record << ">\n";
    }
    out << "</results>\n</" << operation << "Response>\n";
    return envelope(out.str());
}

} // namespace volumira::server
