// fuzz_seeds DIR: writes the starting corpus of every fuzz target into DIR/<target>/, from the project's
// own writers (the sample atlas, the bookmarks file) and from what its data server answers.

#include "harness/FuzzTargets.h"

#include "atlas/Ontology.h"
#include "bookmarks/BookmarkTree.h"
#include "io/Image3d.h"
#include "sample-data/SampleAtlas.h"
#include "volumira-server/Catalogue.h"
#include "volumira-server/DataServer.h"
#include "xml/EscapeXml.h"

#include "sample-data/GeneData.h"

#include <httplib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace volumira;

namespace {

fs::path root;

void seed(const std::string& target, const std::string& name, const std::string& bytes) {
    if (!fuzz::findTarget(target)) throw std::logic_error("No fuzz target " + target + ".");
    fs::create_directories(root / target);
    std::ofstream(root / target / name, std::ios::binary) << bytes;
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string soapRequest(const std::string& operation, const std::vector<std::string>& parameters) {
    std::string body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\">\n<soap:Body>\n<" +
                       operation + " xmlns=\"urn:volumira:GeneSearchService\">\n";
    for (std::size_t i = 0; i < parameters.size(); ++i)
        body += "<in" + std::to_string(i) + ">" + escapeXml(parameters[i]) + "</in" + std::to_string(i) + ">\n";
    return body + "</" + operation + ">\n</soap:Body></soap:Envelope>\n";
}

// Chunk sizes in front of a response: one byte at a time, and the reads of a transfer.
const std::string kByteChunks(4, '\0');
const std::string kTransferChunks = "\xff\x7f\x0f\x03";

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds DIR\n";
        return 2;
    }
    root = argv[1];
    const fs::path data = root / "sample-data";
    fs::create_directories(data);
    sample::writeSampleAtlas(data.string() + "/", sample::SampleGrid::small());

    seed("ontology_fuzz", "ontology.csv", fileText(data / "ontology.csv"));
    for (const auto& entry : fs::directory_iterator(data / "Colormaps"))
        seed("colour_map_fuzz", entry.path().filename().string(), fileText(entry.path()));
    int meshes = 0;
    for (const auto& entry : fs::directory_iterator(data / "Mesh25"))
        if (entry.file_size() < 60000 && meshes++ < 3)
            seed("mesh_fuzz", entry.path().filename().string(), fileText(entry.path()));
    seed("sagittal_map_fuzz", "SagittalAtlasMap.comp", fileText(data / "SagittalAtlasMap.comp"));
    seed("search_domains_fuzz", "SearchDomains.xml", fileText(data / "SearchDomains.xml"));
    const Ontology ontology((data / "ontology.csv").string());
    seed("bookmarks_fuzz", "Bookmarks.xml", bookmarksText(defaultBookmarks(ontology), ontology));

    // A slice-compressed volume with its three dimension bytes, and one compressed block of it.
    Image3d phantom(4, 16, 16, 25.0f);
    for (int i = 0; i < 4 * 16 * 16; ++i) phantom.data()[i] = static_cast<std::uint8_t>(i * 7 % 251);
    phantom.writeCompressed((root / "phantom.comp").string());
    const std::string volume = fileText(root / "phantom.comp");
    seed("slice_volume_fuzz", "phantom", std::string("\x03\x0f\x0f", 3) + volume);
    seed("compressed_block_fuzz", "abcd", std::string("\x04\x00\x00\x00\x0c\x00\x00\x00\x78\x9c\x4b\x4c\x4a\x4e\x01\x00\x03\xd8\x01\x8b", 20));

    // The older expression generations have no writer: a gene of two cells each, built by hand.
    const auto i32 = [](std::int32_t v) {
        std::string s(4, '\0');
        for (int k = 0; k < 4; ++k) s[static_cast<std::size_t>(k)] = static_cast<char>((v >> (8 * k)) & 0xff);
        return s;
    };
    std::string v2 = i32(2) + "\x04Gad1" + i32(2);
    for (const int grid : {1000, 2000}) v2 += i32(grid) + std::string(4, '\0') + i32(3) + std::string(56, '\0');
    seed("expression_fuzz", "generation-2", v2);
    std::string v3 = i32(3) + std::string(60, '\0') + i32(0) + i32(2) + std::string(8, '\0');
    for (const char* text : {"Gad1", "Gad1", "", "", ""}) v3 += static_cast<char>(std::strlen(text)) + std::string(text);
    v3 += std::string(4, '\0');
    for (const int grid : {1000, 2000}) v3 += i32(grid) + std::string(84, '\0');
    seed("expression_fuzz", "generation-3", v3);

    // Everything else as the server answers it.
    server::DataServer dataServer(data.string());
    const int port = dataServer.bind("127.0.0.1", 0);
    std::thread serving([&] { dataServer.serve(); });
    while (!dataServer.isRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(120, 0);
    const auto get = [&](const std::string& target) {
        const auto result = client.Get(target.c_str());
        if (!result || result->status != 200) throw std::runtime_error("The server did not answer " + target);
        seed("request_path_fuzz", std::to_string(std::hash<std::string>{}(target)), target);
        return result->body;
    };

    const server::Catalogue catalogue((data / sample::kCatalogueFileName).string());
    const server::SeriesRecord& series = *catalogue.genes().front().series.front();
    for (const int level : {0, 1, 2})
        seed("expression_fuzz", "grid-level-" + std::to_string(level),
             get("/GridFile?imageseriesid=" + std::to_string(series.imageSeriesId) +
                 "&level=" + std::to_string(level)));
    get("/GridFile/" + series.gridPath + "&level=0");
    const std::string versions = get("/Volumira/versions.xml");
    seed("versions_fuzz", "versions.xml", kTransferChunks + versions);
    seed("versions_fuzz", "versions.xml-bytewise", kByteChunks + versions);
    get("/Volumira/SearchDomains.xml");
    const std::string image = "/pyramid/" + series.sections.front().primaryPath;
    seed("image_properties_fuzz", "ImageProperties.xml", get(image + "/ImageProperties.xml"));
    seed("bgra_jpeg_fuzz", "tile", get(image + "/TileGroup0/0-0-0.jpg"));

    const std::string gene = catalogue.genes().front().symbol;
    const std::vector<std::pair<std::string, std::string>> requests = {
        {"text", soapRequest("getGeneList1", {gene, "10", "0", "gene", "false", "", "0310"})},
        {"anatomic", soapRequest("getGeneList1", {"structac=CTX[xlevel=2] and structac=HY[xdensity=1]", "10", "0", "anatomic",
                                                  "false", "", "0310"})},
        {"series", soapRequest("getImageSeriesList", {std::to_string(series.geneId), "0310"})},
        {"similar", soapRequest("getCorrana1", {"10", "0", "0310", "8", std::to_string(series.imageSeriesId), "3"})},
        {"unknown", soapRequest("getNothing", {})}};
    for (const auto& [name, request] : requests) {
        seed("soap_request_fuzz", name, request);
        const auto result = client.Post("/services/GeneSearchService", request, "text/xml; charset=utf-8");
        if (!result) throw std::runtime_error("The server did not answer the " + name + " search.");
        seed("search_response_fuzz", name, kTransferChunks + result->body);
        seed("search_response_fuzz", name + "-bytewise", kByteChunks + result->body);
    }
    for (const char* query : {"structac=CTX[xlevel=2]", "structac=CTX[xlevel=2;xpattern=1] or structac=HY[xdensity=1]",
                              "structac=HY[xpattern=2] and structac=TH[xlevel=1] or structac=CB[xdensity=2]"})
        seed("anatomic_query_fuzz", std::to_string(std::hash<std::string>{}(query)), query);

    // The two gene list layouts the import reads.
    std::string idList = "id,geneName,geneSymbol\n", seriesList = "geneSymbol,imageseriesid,genename,geneid\n";
    for (const server::GeneRecord& record : catalogue.genes()) {
        idList += std::to_string(record.geneId) + ",\"" + record.name + "\"," + record.symbol + "\n";
        seriesList += record.symbol + "," + std::to_string(record.series.front()->imageSeriesId) + ",\"" +
                      record.name + "\"," + std::to_string(record.geneId) + "\n";
    }
    seed("gene_list_fuzz", "by-gene-id.csv", idList);
    seed("gene_list_fuzz", "by-series.csv", seriesList);

    dataServer.stop();
    serving.join();
    return 0;
}
