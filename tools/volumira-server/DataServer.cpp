#include "volumira-server/DataServer.h"

#include "atlas/Ontology.h"
#include "preferences/Version.h"
#include "sample-data/GeneData.h"
#include "volumira-server/Catalogue.h"
#include "volumira-server/ConnectionPool.h"
#include "volumira-server/GeneSearch.h"
#include "volumira-server/GridFiles.h"
#include "volumira-server/Pyramids.h"
#include "volumira-server/Similarity.h"
#include "xml/EscapeXml.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <sys/socket.h>
#include <vector>

namespace volumira::server {

namespace {

std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("The data directory has no " + path.filename().string() + ".");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The "version" attribute of the search domain file's root element; 0 when it has none.
int searchDomainsVersion(const std::string& xml) {
    static const std::regex version("<SearchDomains[^>]*\\sversion=\"([0-9]+)\"");
    std::smatch match;
    return std::regex_search(xml, match, version) ? std::stoi(match[1].str()) : 0;
}

// A decimal number that fills the whole text; false otherwise.
bool number(const std::string& text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

constexpr std::size_t kMaxRequestBody = 1 << 20;
constexpr int kListenQueue = 1024;

void sendText(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

} // namespace

struct DataServer::State {
    explicit State(const std::string& dataDirectory)
        : dir(dataDirectory), ontology((dir / "ontology.csv").string()),
          catalogue((dir / sample::kCatalogueFileName).string()),
          similarity((dir / sample::kSimilarityFileName).string()), grids(catalogue, ontology),
          search(catalogue, grids, similarity), pyramids(catalogue, grids),
          searchDomains(readWholeFile(dir / "SearchDomains.xml")) {}

    std::filesystem::path dir;
    Ontology ontology;
    Catalogue catalogue;
    Similarity similarity;
    GridFiles grids;
    GeneSearch search;
    Pyramids pyramids;
    std::string searchDomains;
    httplib::Server http;
    std::function<void(const std::string&)> logger;
    std::string boundHost;

    // The address the client reached, for the URLs the server hands out; the bound one when the
    // request does not say (HTTP/1.0).
    std::string serverUrl(const httplib::Request& request) const {
        const std::string host = request.get_header_value("Host");
        return "http://" + (host.empty() ? boundHost : host);
    }

    // The grid file of a series at the request's level.
    void sendGrid(const SeriesRecord* series, const std::string& levelText, httplib::Response& response) {
        if (!series) return sendText(response, 404, "No such image series, experiment or gene.");
        int level = kDownloadLevel;
        if (!levelText.empty() &&
            (!number(levelText, level) || level < kThumbnailLevel || level > kDownloadLevel))
            return sendText(response, 400, "Unknown grid file level \"" + levelText + "\".");
        const auto file = grids.file(*series, level);
        response.set_content(*file, "application/octet-stream");
    }

    void gridByQuery(const httplib::Request& request, httplib::Response& response) {
        const std::string level = request.get_param_value("level");
        int id = 0;
        for (const char* key : {"imageseriesid", "experimentid", "geneid"}) {
            if (!request.has_param(key)) continue;
            if (!number(request.get_param_value(key), id))
                return sendText(response, 400, std::string("Bad ") + key + ".");
            if (std::string(key) == "imageseriesid")
                return sendGrid(catalogue.seriesById(id), level, response);
            if (std::string(key) == "experimentid")
                return sendGrid(catalogue.seriesByExperiment(id), level, response);
            const std::string project = request.get_param_value("project");
            if (!project.empty() && project != kProjectCode)
                return sendText(response, 404, "Unknown project \"" + project + "\".");
            const GeneRecord* gene = catalogue.geneById(id);
            return sendGrid(gene ? gene->series.front() : nullptr, level, response);
        }
        sendText(response, 400, "Not enough information to find a grid file.");
    }

    // "/GridFile/PATH&level=L": the level rides in the path.
    void gridByPath(const std::string& rest, httplib::Response& response) {
        const auto at = rest.rfind("&level=");
        const std::string path = rest.substr(0, at),
                          level = at == std::string::npos ? "" : rest.substr(at + 7);
        sendGrid(catalogue.seriesByGridPath(path), level, response);
    }

    void pyramid(const httplib::Request& request, httplib::Response& response) {
        const std::string path = request.matches[1];
        const auto image = pyramids.find(path);
        if (!image) return sendText(response, 404, "No such image.");
        if (request.matches.size() == 2)
            return response.set_content(Pyramids::properties(*image), "text/xml");
        int group = -1, level = 0, x = 0, y = 0;
        const std::string groupText = request.matches[2];
        if ((!groupText.empty() && !number(groupText, group)) || !number(request.matches[3], level) ||
            !number(request.matches[4], x) || !number(request.matches[5], y))
            return sendText(response, 404, "No such tile.");
        const auto tile = pyramids.tile(path, *image, group, level, x, y);
        if (!tile) return sendText(response, 404, "No such tile.");
        response.set_content(*tile, "image/jpeg");
    }

    void versions(const httplib::Request& request, httplib::Response& response) {
        // The build of the viewer this server ships with: a viewer of the same release is up to date.
        const std::string build = std::to_string(build::kVersionBuild);
        response.set_content(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<versions>\n  <windows build=\"" + build + "\"/>\n"
            "  <linux build=\"" + build + "\"/>\n  <searchAPI oldest=\"1\" domains=\"" +
                std::to_string(searchDomainsVersion(searchDomains)) + "\"/>\n  <infoUrl>" +
                serverUrl(request) + "/</infoUrl>\n</versions>\n",
            "text/xml");
    }

    // The body is read here, not by the library, which would keep every chunk of a chunked body without
    // limit: reading stops at the limit and the connection is dropped.
    void gene(const httplib::Request& request, httplib::Response& response, const httplib::ContentReader& read) {
        // Refused before a byte of it is read when it says so itself.
        const std::string length = request.get_header_value("Content-Length");
        std::uint64_t announced = 0;
        std::from_chars(length.data(), length.data() + length.size(), announced);
        if (announced > kMaxRequestBody) {
            response.set_header("Connection", "close");
            return sendText(response, 413, "The request is too large.");
        }
        std::string body;
        bool tooLarge = false;
        const bool complete = read([&](const char* data, std::size_t length) {
            tooLarge = body.size() + length > kMaxRequestBody;
            if (!tooLarge) body.append(data, length);
            return !tooLarge;
        });
        if (tooLarge) return sendText(response, 413, "The request is too large.");
        if (!complete) return sendText(response, 400, "The request ended early.");
        try {
            response.set_content(search.answer(body, serverUrl(request)), "text/xml; charset=utf-8");
        } catch (const SoapFault& fault) {
            response.status = 500;
            response.set_content(soapFault(fault.what()), "text/xml; charset=utf-8");
        }
    }

    // The pages the viewer opens in the web browser: a section image and an image series.
    void imagePage(const httplib::Request& request, httplib::Response& response) {
        int id = 0;
        const SectionRef ref =
            number(request.get_param_value("imageId"), id) ? catalogue.sectionById(id) : SectionRef{};
        if (!ref.series) return sendText(response, 404, "No such section image.");
        const GeneRecord& gene = catalogue.geneOf(*ref.series);
        const std::string tile = "/pyramid/" + ref.section->primaryPath + "/TileGroup0/0-0-0.jpg";
        sendPage(response, gene.symbol + " section " + std::to_string(ref.section->section),
                 "<p>" + escapeXml(gene.name) + ", image series <a href=\"/viewSeriesInfo.do?imageSeriesId=" +
                     std::to_string(ref.series->imageSeriesId) + "\">" +
                     std::to_string(ref.series->imageSeriesId) + "</a>, " +
                     std::to_string(ref.section->width) + " × " + std::to_string(ref.section->height) +
                     " pixels.</p><p><img src=\"" + escapeXml(tile) + "\" alt=\"section\"></p>");
    }

    void seriesPage(const httplib::Request& request, httplib::Response& response) {
        int id = 0;
        const SeriesRecord* series =
            number(request.get_param_value("imageSeriesId"), id) ? catalogue.seriesById(id) : nullptr;
        if (!series) return sendText(response, 404, "No such image series.");
        const GeneRecord& gene = catalogue.geneOf(*series);
        std::string body =
            "<p>" + escapeXml(gene.name) + ": " + (series->plane == 0 ? "coronal" : "sagittal") + ", " +
            (series->probeOrientation == 1 ? "antisense" : "sense") + " probe, experiment " +
            std::to_string(series->experimentId) + ", processed " + series->processedDate + ".</p><ul>";
        for (const sample::CatalogueSection& c : series->sections)
            body += "<li><a href=\"/viewImage.do?imageId=" + std::to_string(c.imageId) + "\">section " +
                    std::to_string(c.section) + "</a></li>";
        sendPage(response, gene.symbol + " image series " + std::to_string(series->imageSeriesId),
                 body + "</ul>");
    }

    // The site's front page, which the viewer's Help menu and the versions file's info address open:
    // what this server is, what else it answers, and every gene with its image series and grid files.
    void homePage(httplib::Response& response) {
        const std::vector<GeneRecord>& genes = catalogue.genes();
        std::string body =
            "<p>This is <b>volumira-server</b>, the data server of the Volumira viewer. The viewer's gene "
            "searches, gene downloads, section images and the pages it opens in the web browser all come from "
            "here. It serves the sample data: " +
            std::to_string(genes.size()) + (genes.size() == 1 ? " gene" : " genes") +
            " and their expression, measured on generated section images.</p>\n"
            "<h2>Pages and files</h2>\n<ul>\n"
            "<li><a href=\"#genes\">Genes</a>: each gene's image series pages, whose section image pages "
            "show the images, and its grid files.</li>\n"
            "<li><a href=\"/Volumira/versions.xml\">/Volumira/versions.xml</a>: the viewer release this server "
            "goes with.</li>\n"
            "<li><a href=\"/Volumira/SearchDomains.xml\">/Volumira/SearchDomains.xml</a>: the search "
            "domains the viewer offers.</li>\n"
            "<li><code>/services/GeneSearchService</code>: the gene search service (SOAP, by POST).</li>\n"
            "<li><code>/GridFile?imageseriesid=ID&amp;level=L</code>: grid files, also by experimentid or "
            "geneid; <code>/pyramid/PATH/ImageProperties.xml</code>: image pyramids.</li>\n"
            "</ul>\n<h2 id=\"genes\">Genes</h2>\n<table>\n"
            "<tr><th>Symbol</th><th>Name</th><th>Image series</th><th>Grid file</th></tr>\n";
        for (const GeneRecord& gene : genes) {
            body += "<tr><td>" + escapeXml(gene.symbol) + "</td><td>" + escapeXml(gene.name) + "</td><td>";
            for (std::size_t i = 0; i < gene.series.size(); ++i) {
                const std::string id = std::to_string(gene.series[i]->imageSeriesId);
                body += std::string(i == 0 ? "" : ", ") + "<a href=\"/viewSeriesInfo.do?imageSeriesId=" + id +
                        "\">" + id + " (" + (gene.series[i]->plane == 0 ? "coronal" : "sagittal") + ")</a>";
            }
            body += "</td><td>";
            if (!gene.series.empty())
                body += "<a href=\"/GridFile?imageseriesid=" + std::to_string(gene.series.front()->imageSeriesId) +
                        "&amp;level=" + std::to_string(kDownloadLevel) + "\">download</a>";
            body += "</td></tr>\n";
        }
        sendPage(response, "Tessaly Brain Atlas", body + "</table>\n");
    }

    static void sendPage(httplib::Response& response, const std::string& title, const std::string& body) {
        response.set_content("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" +
                                 escapeXml(title) + "</title></head><body><h1>" + escapeXml(title) + "</h1>" +
                                 body + "</body></html>\n",
                             "text/html; charset=utf-8");
    }

    void route() {
        // Search requests are a few hundred bytes; refuse anything that could only waste memory.
        http.set_payload_max_length(kMaxRequestBody);
        // A thread per connection, so that clients that send slowly hold up only themselves.
        http.new_task_queue = [] { return new ConnectionPool(kInitialThreads, kMaxConnectionThreads); };
        http.Post("/services/GeneSearchService",
                  [this](const httplib::Request& q, httplib::Response& r, const httplib::ContentReader& read) {
                      gene(q, r, read);
                  });
        http.Get("/GridFile", [this](const httplib::Request& q, httplib::Response& r) { gridByQuery(q, r); });
        http.Get("/GridFile/(.+)",
                 [this](const httplib::Request& q, httplib::Response& r) { gridByPath(q.matches[1], r); });
        http.Get("/pyramid/(.+)/ImageProperties\\.xml",
                 [this](const httplib::Request& q, httplib::Response& r) { pyramid(q, r); });
        http.Get("/pyramid/(.+)/TileGroup([0-9]*)/([0-9]+)-([0-9]+)-([0-9]+)\\.jpg",
                 [this](const httplib::Request& q, httplib::Response& r) { pyramid(q, r); });
        http.Get("/", [this](const httplib::Request&, httplib::Response& r) { homePage(r); });
        http.Get("/viewImage.do",
                 [this](const httplib::Request& q, httplib::Response& r) { imagePage(q, r); });
        http.Get("/viewSeriesInfo.do",
                 [this](const httplib::Request& q, httplib::Response& r) { seriesPage(q, r); });
        http.Get("/Volumira/versions.xml",
                 [this](const httplib::Request& q, httplib::Response& r) { versions(q, r); });
        http.Get("/Volumira/SearchDomains.xml", [this](const httplib::Request&, httplib::Response& r) {
            r.set_content(searchDomains, "text/xml");
        });
        http.set_exception_handler(
            [](const httplib::Request&, httplib::Response& r, std::exception_ptr error) {
                std::string message = "Internal error.";
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception& e) {
                    message = e.what();
                } catch (...) {
                }
                sendText(r, 500, message);
            });
        http.set_error_handler([](const httplib::Request&, httplib::Response& r) {
            if (r.body.empty()) sendText(r, r.status, r.status == 404 ? "Not found." : "Request failed.");
        });
        http.set_logger([this](const httplib::Request& q, const httplib::Response& r) {
            if (logger)
                logger(q.method + " " + q.target + " " + std::to_string(r.status) + " " +
                       std::to_string(r.body.size()) + " bytes");
        });
    }
};

DataServer::DataServer(const std::string& dataDirectory) : state_(std::make_unique<State>(dataDirectory)) {
    state_->route();
}

DataServer::~DataServer() {
    stop();
}

void DataServer::setLogger(std::function<void(const std::string&)> logger) {
    state_->logger = std::move(logger);
}

int DataServer::bind(const std::string& address, int port) {
    // cpp-httplib 0.11 listens with a queue of 5: a few dozen clients connecting at once overflow it, and
    // the kernel then resets some of their connections. The queue of the same socket is made longer after.
    int listening = -1;
    state_->http.set_socket_options([&listening](socket_t sock) {
        httplib::default_socket_options(sock);
        listening = sock;
    });
    const bool bound = port == 0 ? (port = state_->http.bind_to_any_port(address)) > 0
                                 : state_->http.bind_to_port(address, port);
    state_->http.set_socket_options(httplib::default_socket_options);
    if (!bound || ::listen(listening, kListenQueue) != 0)
        throw std::runtime_error("Could not listen on " + address + " port " + std::to_string(port) + ".");
    state_->boundHost = address + ":" + std::to_string(port);
    return port;
}

bool DataServer::serve() {
    return state_->http.listen_after_bind();
}

bool DataServer::isRunning() const {
    return state_->http.is_running();
}

void DataServer::stop() {
    state_->http.stop();
}

} // namespace volumira::server
