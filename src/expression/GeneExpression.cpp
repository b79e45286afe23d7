#include "expression/GeneExpression.h"

#include "atlas/AtlasGrid.h"
#include "atlas/Ontology.h"
#include "atlas/ReferenceAtlas.h"
#include "io/FileStream.h"
#include "io/Image3d.h"

#include <algorithm>
#include <stdexcept>

namespace volumira {

namespace {

std::array<std::int32_t, GeneExpression::kHeaderSize> defaultHeader() {
    std::array<std::int32_t, GeneExpression::kHeaderSize> header{};
    header[GeneExpression::kHeaderPlane] = -1;
    header[GeneExpression::kHeaderProbeOrientation] = -1;
    return header;
}

void checkIndex(int index, int size, const char* what) {
    if (index < 0 || index >= size)
        throw std::invalid_argument(std::string(what) + " index out of range: " + std::to_string(index));
}

} // namespace

GeneExpression::GeneExpression(const std::string& path, const ExpressionAtlas& atlas)
    : header_(defaultHeader()) {
    FileStream stream(path, FileStream::Mode::ReadBinary);
    readExpression(stream, atlas);
}

GeneExpression::GeneExpression(IOStream& stream, const ExpressionAtlas& atlas) : header_(defaultHeader()) {
    readExpression(stream, atlas);
}

GeneExpression::GeneExpression(const std::string& path)
    : GeneExpression(path, ExpressionAtlas(ReferenceAtlas::instance())) {}

GeneExpression::GeneExpression(IOStream& stream)
    : GeneExpression(stream, ExpressionAtlas(ReferenceAtlas::instance())) {}

GeneExpression::GeneExpression(std::string name, std::string symbol) : header_(defaultHeader()) {
    strings_[kStringName] = std::move(name);
    strings_[kStringSymbol] = std::move(symbol);
}

GeneExpression::GeneExpression(const SearchResult& result) : header_(defaultHeader()) {
    strings_[kStringName] = result.name;
    strings_[kStringSymbol] = result.symbol;
    strings_[kStringExpressionFileUrl] = result.expressionFileUrl;
    strings_[kStringCondition] = result.condition;
    header_[kHeaderPlane] = result.plane;
    header_[kHeaderProbeOrientation] = result.probeOrientation;
    header_[kHeaderImageSeriesId] = result.imageSeriesId;
    header_[kHeaderGeneId] = result.geneId;
    fileSize_ = result.fileSize;
    score_ = result.score;
    available_ = result.available;
    loadable_ = !(result.imageSeriesId == 0 && result.expressionFileUrl.empty() && result.geneId == 0);
}

GeneExpression::GeneExpression(const GeneListLine& line, bool experimentLookupAvailable)
    : header_(defaultHeader()) {
    strings_[kStringName] = line.name;
    strings_[kStringSymbol] = line.symbol;
    header_[kHeaderExperimentId] = line.experimentId;
    header_[kHeaderImageSeriesId] = line.imageSeriesId;
    header_[kHeaderGeneId] = line.geneId;
    score_ = line.score;
    const bool noIds = line.imageSeriesId == 0 && line.experimentId == 0 && line.geneId == 0;
    const bool onlyByExperiment = line.imageSeriesId == 0 && line.experimentId != 0;
    loadable_ = !(noIds || (onlyByExperiment && !experimentLookupAvailable));
}

GeneExpression::~GeneExpression() = default;

void GeneExpression::readExpression(IOStream& stream) {
    readExpression(stream, ExpressionAtlas(ReferenceAtlas::instance()));
}

void GeneExpression::readExpression(IOStream& stream, const ExpressionAtlas& atlas) {
    // A second read replaces the cells rather than adding to them.
    clearContents();
    loaded_ = false;
    imageScale_ = 0.0f;
    fileFormat_ = 0;
    std::int32_t format = 0;
    try {
        const std::int32_t start = stream.tell();
        // The server answers some failures with a text page instead of data.
        if (stream.readByte() == '<') throw std::runtime_error("Unsupported gene expression data format.");
        stream.seek(start);
        const std::int32_t first = stream.readInt32();
        if (static_cast<std::uint32_t>(first) == kMagic) {
            format = stream.readInt32();
            if (format == kFormatGrid || format == kFormatGridWithSize)
                readGridFormat(stream, format);
            else if (format == kFormatCurrent)
                readFormat20000(stream);
            else
                throw std::runtime_error("Expression file version " + std::to_string(format) +
                                         " not supported.");
        } else if (first == 2) {
            format = first;
            readVersion2(stream);
        } else if (first == 3) {
            format = first;
            readVersion3(stream);
        } else {
            throw std::runtime_error("Expression file version " + std::to_string(first) + " not supported.");
        }
        // The counts describe what is held, whatever the file claimed.
        header_[kHeaderSectionImageCount] = static_cast<std::int32_t>(sectionImages_.size());
        header_[kHeaderCellCount] = static_cast<std::int32_t>(cells_.size());
        assignStructures(atlas);
    } catch (...) {
        loadable_ = false;
        throw;
    }
    fileFormat_ = format;
    loaded_ = true;
}

void GeneExpression::assignStructures(const ExpressionAtlas& atlas) {
    const Ontology& ontology = atlas.ontology;
    // Entry 0 ("No Annotation") exists even for an ontology without lines.
    const int lists = std::max(ontology.count(), 1);
    structureCells_.assign(static_cast<std::size_t>(lists), StructureCells{});
    for (int k = 0; k < lists; ++k)
        structureCells_[static_cast<std::size_t>(k)].structure = &ontology.structureByOrder(k);

    const int nx = atlas::kCoarseDims[0], ny = atlas::kCoarseDims[1];
    const double spacing = atlas::kCoarseSpacing;
    const Image3d& annotation = atlas.annotation100;
    // An annotation on the expression grid itself is indexed by the cell's own voxel number.
    const std::uint8_t* labels =
        annotation.isLoaded() && annotation.spacing() == atlas::kCoarseSpacing && annotation.dimension(0) == nx &&
                annotation.dimension(1) == ny && annotation.dimension(2) == atlas::kCoarseDims[2]
            ? annotation.data()
            : nullptr;
    for (ExpressionCell& cell : cells_) {
        const int q = cell.gridId - 1;
        const int x = q % nx, y = (q % (nx * ny)) / nx, z = q / (nx * ny);
        cell.x = static_cast<float>(x);
        cell.y = static_cast<float>(y);
        cell.z = static_cast<float>(z);
        const Structure& structure = ontology.structureAt(
            labels ? labels[q] : annotation.valueAt(x * spacing, y * spacing, z * spacing));
        cell.structure = &structure;
        const int order = structure.order >= 0 && structure.order < lists ? structure.order : 0;
        structureCells_[static_cast<std::size_t>(order)].cells.push_back(&cell);
    }
    cellsSorted_ =
        std::is_sorted(cells_.begin(), cells_.end(),
                       [](const ExpressionCell& a, const ExpressionCell& b) { return a.gridId < b.gridId; });
}

void GeneExpression::clearContents() {
    std::vector<ExpressionCell>().swap(cells_);
    std::vector<StructureCells>().swap(structureCells_);
    sectionImages_.clear();
    cellsSorted_ = true;
}

bool GeneExpression::unload() {
    // Data that cannot be fetched again is kept: dropping it would lose it for good.
    if (experimentId() == 0 && imageSeriesId() == 0 && geneId() == 0 && expressionFileUrl().empty())
        return false;
    clearContents();
    loaded_ = false;
    return true;
}

const ExpressionCell* GeneExpression::findCell(std::int32_t gridId) const {
    if (cellsSorted_) {
        const auto it =
            std::lower_bound(cells_.begin(), cells_.end(), gridId,
                             [](const ExpressionCell& c, std::int32_t id) { return c.gridId < id; });
        return it != cells_.end() && it->gridId == gridId ? &*it : nullptr;
    }
    const auto it = std::find_if(cells_.begin(), cells_.end(),
                                 [gridId](const ExpressionCell& c) { return c.gridId == gridId; });
    return it != cells_.end() ? &*it : nullptr;
}

const SectionImage* GeneExpression::sectionImage(std::uint32_t section) const {
    const auto it = sectionImages_.find(section);
    return it != sectionImages_.end() ? &it->second : nullptr;
}

const std::vector<const ExpressionCell*>& GeneExpression::cellsOfStructure(int order) const {
    static const std::vector<const ExpressionCell*> none;
    if (order < 0 || static_cast<std::size_t>(order) >= structureCells_.size()) return none;
    return structureCells_[static_cast<std::size_t>(order)].cells;
}

std::string GeneExpression::suggestedFileName() const {
    std::string name;
    for (const char c : symbol())
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) name += c;
    name += plane() != 0 ? "_sagittal_" : "_coronal_";
    return name + std::to_string(imageSeriesId()) + ".xpr";
}

std::int32_t GeneExpression::headerEntry(int index) const {
    checkIndex(index, kHeaderSize, "Header");
    return header_[static_cast<std::size_t>(index)];
}

void GeneExpression::setHeaderEntry(int index, std::int32_t value) {
    checkIndex(index, kHeaderSize, "Header");
    header_[static_cast<std::size_t>(index)] = value;
}

const std::string& GeneExpression::stringField(int index) const {
    checkIndex(index, kStringCount, "String");
    return strings_[static_cast<std::size_t>(index)];
}

void GeneExpression::setStringField(int index, std::string value) {
    checkIndex(index, kStringCount, "String");
    strings_[static_cast<std::size_t>(index)] = std::move(value);
}

} // namespace volumira
