#pragma once

#include "expression/ExpressionAtlas.h"
#include "expression/ExpressionCell.h"
#include "expression/SectionImage.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace volumira {

class IOStream;
struct Structure;

// One gene's expression data set: the search metadata of the gene and its image series, the expressing
// cells of the coarse atlas grid (ascending gridId), each tied to the structure containing it, and the
// section images the cells were measured from. Reads all five generations of the expression file
// (".xpr") and writes the current one.
class GeneExpression {
  public:
    static constexpr int kHeaderSize = 16;
    // Known header entries; the others are carried through files unchanged.
    static constexpr int kHeaderExperimentId = 0;
    static constexpr int kHeaderImageSeriesId = 1;
    static constexpr int kHeaderGeneId = 5;
    static constexpr int kHeaderPlane = 8;
    static constexpr int kHeaderProbeOrientation = 9;
    static constexpr int kHeaderImageScale = 10;
    static constexpr int kHeaderSectionImageCount = 14;
    static constexpr int kHeaderCellCount = 15;

    static constexpr int kStringCount = 7;
    // String slots: the first five are stored in files, the last two come only from searches.
    static constexpr int kStringName = 0;
    static constexpr int kStringSymbol = 1;
    static constexpr int kStringExpressionFileUrl = 5;
    static constexpr int kStringCondition = 6;
    static constexpr int kStoredStringCount = 5;

    // First value of the current and the grid generations, followed by the generation number.
    static constexpr std::uint32_t kMagic = 0xEEEEDDDDu;
    static constexpr std::int32_t kFormatCurrent = 20000;
    static constexpr std::int32_t kFormatGrid = 30000;
    static constexpr std::int32_t kFormatGridWithSize = 30001;

    // What a gene search reports about one gene.
    struct SearchResult {
        std::string name, symbol, expressionFileUrl, condition;
        std::int32_t plane = -1, probeOrientation = -1;
        std::int32_t imageSeriesId = 0, geneId = 0, fileSize = 0;
        float score = -1.0f;
        bool available = true;
    };

    // One line of an imported gene list.
    struct GeneListLine {
        std::string name, symbol;
        std::int32_t experimentId = 0, imageSeriesId = 0, geneId = 0;
        float score = -1.0f;
    };

    // Cells of one structure, by the structure's order number.
    struct StructureCells {
        const Structure* structure = nullptr;
        std::vector<const ExpressionCell*> cells;
    };

    // Read a file or a stream; throws on failure.
    GeneExpression(const std::string& path, const ExpressionAtlas& atlas);
    GeneExpression(IOStream& stream, const ExpressionAtlas& atlas);
    // As above, with the process-wide reference atlas.
    explicit GeneExpression(const std::string& path);
    explicit GeneExpression(IOStream& stream);
    // Not loaded, with nothing but a name and a symbol.
    GeneExpression(std::string name, std::string symbol);
    // Not loaded; loadable unless there is no way to fetch the data.
    explicit GeneExpression(const SearchResult& result);
    // Not loaded. `experimentLookupAvailable` says whether a server address for lookups by experiment ID
    // is configured; without it a line that has only an experiment ID cannot be fetched.
    GeneExpression(const GeneListLine& line, bool experimentLookupAvailable);

    virtual ~GeneExpression();
    // Cells point at each other's storage through the per-structure lists: copies would dangle.
    GeneExpression(const GeneExpression&) = delete;
    GeneExpression& operator=(const GeneExpression&) = delete;

    // Reads any generation and assigns every cell its coordinates and structure. On failure the gene
    // keeps the cells read so far, is not loadable and the exception reaches the caller.
    virtual void readExpression(IOStream& stream, const ExpressionAtlas& atlas);
    // Writes the current generation: only cells with at least one expressor. A failed write leaves
    // whatever file was there before.
    virtual void saveExpression(const std::string& path) const;
    // Drops the cells to save memory when the data can be fetched again (true); a gene that cannot be
    // fetched again keeps them (false).
    virtual bool unload();

    // With the process-wide reference atlas.
    void readExpression(IOStream& stream);

    // Null when no cell has this id.
    const ExpressionCell* findCell(std::int32_t gridId) const;
    // Null when there is no image of this section.
    const SectionImage* sectionImage(std::uint32_t section) const;
    // Cells of the structure with this order number; empty for orders the ontology does not have.
    const std::vector<const ExpressionCell*>& cellsOfStructure(int order) const;
    // The letters and digits of the symbol, the plane and the image series: "Gad1_coronal_79.xpr".
    std::string suggestedFileName() const;

    const std::array<std::int32_t, kHeaderSize>& header() const { return header_; }
    std::int32_t headerEntry(int index) const;
    void setHeaderEntry(int index, std::int32_t value);
    std::int32_t experimentId() const { return header_[kHeaderExperimentId]; }
    std::int32_t imageSeriesId() const { return header_[kHeaderImageSeriesId]; }
    std::int32_t geneId() const { return header_[kHeaderGeneId]; }
    std::int32_t plane() const { return header_[kHeaderPlane]; }
    std::int32_t probeOrientation() const { return header_[kHeaderProbeOrientation]; }

    const std::array<std::string, kStringCount>& strings() const { return strings_; }
    const std::string& stringField(int index) const;
    void setStringField(int index, std::string value);
    const std::string& name() const { return strings_[kStringName]; }
    const std::string& symbol() const { return strings_[kStringSymbol]; }
    const std::string& expressionFileUrl() const { return strings_[kStringExpressionFileUrl]; }
    const std::string& condition() const { return strings_[kStringCondition]; }

    std::int32_t fileSize() const { return fileSize_; }
    void setFileSize(std::int32_t size) { fileSize_ = size; }
    bool isLoaded() const { return loaded_; }
    bool isLoadable() const { return loadable_; }
    bool isAvailable() const { return available_; }
    float imageScale() const { return imageScale_; }
    // The generation last read completely: 2, 3, 20000, 30000 or 30001; 0 when none was.
    std::int32_t fileFormat() const { return fileFormat_; }
    float score() const { return score_; }
    void setScore(float score) { score_ = score; }

    const std::array<float, 3>& colour() const { return colour_; }
    void setColour(float red, float green, float blue) { colour_ = {red, green, blue}; }
    bool isVisible() const { return visible_; }
    void setVisible(bool visible) { visible_ = visible; }

    const std::vector<ExpressionCell>& cells() const { return cells_; }
    const std::vector<StructureCells>& structureCells() const { return structureCells_; }
    const std::map<std::uint32_t, SectionImage>& sectionImages() const { return sectionImages_; }

  protected:
    // Readers of the single generations; each starts after the values that select it.
    virtual void readVersion2(IOStream& stream);
    virtual void readVersion3(IOStream& stream);
    virtual void readFormat20000(IOStream& stream);
    virtual void readGridFormat(IOStream& stream, std::int32_t format);

  private:
    void clearContents();
    void readSectionImages(IOStream& stream, std::int32_t count);
    void assignStructures(const ExpressionAtlas& atlas);

    std::array<std::int32_t, kHeaderSize> header_{};
    std::array<std::string, kStringCount> strings_;
    std::int32_t fileSize_ = 0;
    bool loaded_ = false;
    bool loadable_ = true;
    bool available_ = true;
    std::vector<ExpressionCell> cells_;
    // Whether the cells are in ascending gridId order, as every writer leaves them; findCell searches
    // by halving only then.
    bool cellsSorted_ = true;
    std::vector<StructureCells> structureCells_;
    std::array<float, 3> colour_{0.9f, 0.9f, 0.0f};
    bool visible_ = true;
    std::map<std::uint32_t, SectionImage> sectionImages_;
    float imageScale_ = 0.0f;
    std::int32_t fileFormat_ = 0;
    float score_ = -1.0f;
};

} // namespace volumira
