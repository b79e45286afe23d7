#include "atlas/ReferenceAtlas.h"
#include "atlas/Structure.h"
#include "expression/GeneExpression.h"
#include "platform/DataLocations.h"
#include "volumira-tool/Tool.h"

#include <algorithm>
#include <cstdlib>
#include <iomanip>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <vector>

namespace volumira::tool {

namespace {

struct XprOptions {
    std::string input, output, dataDir;
    bool json = false;
};

// Only the coarse annotation and the ontology are used, both read from the data directory; the shared
// directory is named because the atlas wants one, and is not written to.
ReferenceAtlas openAtlas(const XprOptions& o) {
    const std::string dataDir = dataDirectoryOption(o.dataDir);
    const char* shared = std::getenv("VOLUMIRA_ATLAS_DIR");
    return fromDataDirectory(dataDir,
                             [&] { return ReferenceAtlas(dataDir, shared && *shared ? asDirectory(shared) : dataDir); });
}

// Both numberings of a cell: "gridId" as the file stores it (voxel number from 1) and "viewerGridId" as
// the viewer's "Grid ID" shows it (from 0), which is what section-image --cell takes.
nlohmann::json cellJson(const ExpressionCell& c) {
    return {{"gridId", c.gridId},
            {"viewerGridId", c.gridId - 1},
            {"x", c.x},
            {"y", c.y},
            {"z", c.z},
            {"diameter", c.diameter},
            {"areaSpanned", c.areaSpanned},
            {"level", c.level},
            {"section", c.section},
            {"sectionX", c.sectionX},
            {"sectionY", c.sectionY},
            {"expressors", c.expressors},
            {"structure", c.structure ? nlohmann::json(c.structure->acronym) : nlohmann::json(nullptr)}};
}

nlohmann::json geneJson(const GeneExpression& gene) {
    nlohmann::json images = nlohmann::json::array();
    for (const auto& entry : gene.sectionImages()) {
        const SectionImage& s = entry.second;
        images.push_back({{"section", s.section},
                          {"imageId", s.imageId},
                          {"width", s.width},
                          {"height", s.height},
                          {"primaryPath", s.primaryPath},
                          {"expressionPath", s.expressionPath}});
    }
    nlohmann::json cells = nlohmann::json::array();
    for (const ExpressionCell& cell : gene.cells())
        cells.push_back(cellJson(cell));
    return {{"format", gene.fileFormat()},
            {"header", gene.header()},
            {"name", gene.name()},
            {"symbol", gene.symbol()},
            {"strings", gene.strings()},
            {"fileSize", gene.fileSize()},
            {"imageScale", gene.imageScale()},
            {"sectionImages", std::move(images)},
            {"cells", std::move(cells)}};
}

void printText(std::ostream& out, const GeneExpression& gene) {
    out << "format:         " << gene.fileFormat() << '\n'
        << "name:           " << gene.name() << '\n'
        << "symbol:         " << gene.symbol() << '\n'
        << "experiment:     " << gene.experimentId() << '\n'
        << "image series:   " << gene.imageSeriesId() << '\n'
        << "gene:           " << gene.geneId() << '\n'
        << "plane:          "
        << (gene.plane() == 0   ? "coronal"
            : gene.plane() == 1 ? "sagittal"
                                : "unknown")
        << '\n'
        << "section images: " << gene.sectionImages().size() << '\n'
        << "cells:          " << gene.cells().size() << '\n';
    // The structures holding most cells, most first; ties in ontology order.
    std::vector<const GeneExpression::StructureCells*> lists;
    for (const auto& list : gene.structureCells())
        if (!list.cells.empty()) lists.push_back(&list);
    std::stable_sort(lists.begin(), lists.end(),
                     [](const auto* a, const auto* b) { return a->cells.size() > b->cells.size(); });
    for (const auto* list : lists)
        out << "  " << std::left << std::setw(12) << list->structure->acronym << ' ' << list->cells.size()
            << '\n';
}

void info(std::ostream& out, const XprOptions& o) {
    const ReferenceAtlas atlas = openAtlas(o);
    const GeneExpression gene(o.input, ExpressionAtlas(atlas));
    if (o.json)
        out << geneJson(gene).dump(2) << '\n';
    else
        printText(out, gene);
}

void convert(std::ostream& out, const XprOptions& o) {
    // The current generation stores no structures, so the cells need no atlas to place them.
    const Image3d noAnnotation;
    const Ontology noStructures;
    const GeneExpression gene(o.input, ExpressionAtlas(noAnnotation, noStructures));
    gene.saveExpression(o.output);
    std::size_t saved = 0;
    for (const ExpressionCell& cell : gene.cells())
        saved += cell.expressors >= 1 ? 1 : 0;
    out << "Wrote " << o.output << " (format " << GeneExpression::kFormatCurrent << ", " << saved
        << " cells, " << gene.sectionImages().size() << " section images) from format " << gene.fileFormat()
        << ".\n";
}

} // namespace

void addXprCommands(CLI::App& app, std::ostream& out) {
    CLI::App* xpr = app.add_subcommand("xpr", "Inspect and convert gene expression files (.xpr)");
    xpr->require_subcommand(1);
    auto options = std::make_shared<XprOptions>();

    CLI::App* infoCommand =
        xpr->add_subcommand("info", "Header, strings, section images and cells of a gene");
    infoCommand->footer("With --json each cell has \"gridId\", the voxel number the file stores (from 1), and "
                        "\"viewerGridId\", the Grid ID the viewer shows (from 0, one less), which "
                        "section-image --cell takes.");
    // Not checked by the parser, so that a missing or damaged file gets the program's own message.
    infoCommand->add_option("file", options->input, "Expression file")->required();
    infoCommand->add_flag("--json", options->json, "Print JSON");
    infoCommand->add_option("--data", options->dataDir, "Data directory whose atlas places the cells");
    infoCommand->callback([&out, options] { info(out, *options); });

    CLI::App* convertCommand =
        xpr->add_subcommand("convert", "Read any generation and write the current one");
    convertCommand->add_option("input", options->input, "Expression file to read")->required();
    convertCommand->add_option("output", options->output, "Expression file to write")->required();
    convertCommand->callback([&out, options] { convert(out, *options); });
}

} // namespace volumira::tool
