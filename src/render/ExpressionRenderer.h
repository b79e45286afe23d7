#pragma once

#include "render/ExpressorMesh.h"
#include "render/ExpressorStyle.h"
#include "render/GLHandles.h"

#include <vector>

namespace volumira {

class BrainExpressionModel;
class GeneExpression;
class UserPreferences;

// Draws one gene's cells as small shapes ("expressors"). The shapes are built once into a vertex
// buffer with one index range per structure group, so that structure filtering and atlas colouring
// cost one colour change and one draw call per group, and a rebuild is a memory copy rather than
// millions of GL calls. Fast drawing uses octahedra twice as large (drawn unlit by the scene);
// quality drawing uses icosahedra. While the model's interactive-change flag is set (plane and
// threshold drags) the buffer is bypassed and the cells are drawn directly with the fast shapes. GL
// calls need the scene's context to be current; the buffers free themselves in it, and buffers the
// context took away are built again at the next draw.
class ExpressionRenderer {
  public:
    ExpressionRenderer(const BrainExpressionModel& model, const GeneExpression& gene,
                       const UserPreferences& preferences, const LevelColourTables& tables);
    ~ExpressionRenderer();
    ExpressionRenderer(const ExpressionRenderer&) = delete;
    ExpressionRenderer& operator=(const ExpressionRenderer&) = delete;

    // For display (pick false) or for selection: in pick mode every shown cell is a cube named
    // nameBase + cell index, the cell index being its gridId - 1.
    void drawCells(bool pick, unsigned int nameBase = 0);
    void drawSelectedCell(const ExpressionCell& cell);
    // The buffer is rebuilt at the next display draw.
    void markDirty() { dirty_ = true; }
    // Marks the buffer dirty when the model's colour mode needs other colours inside it than those it
    // was built with (or always with force).
    void checkColourMode(bool force);

    bool isDirty() const { return dirty_; }
    const GeneExpression& gene() const { return gene_; }

  private:
    // Fills the mesh with the cells that pass the thresholds and the clipping box; with
    // `skipFilteredGroups` the structure filter is applied too. Returns whether colours were set.
    bool buildMesh(ExpressorMesh& mesh, bool fast, bool skipFilteredGroups) const;
    void rebuildBuffer();
    // Fills the bound buffers through a mapping, growing them first when the mesh does not fit.
    bool fillBuffers(const ExpressorMesh& counted, bool fast);
    // Draws the groups that pass the structure filter from the bound buffers or from client memory.
    void drawGroups(const std::vector<ExpressorMesh::Range>& groups, const ExpressorMesh::Vertex* vertices,
                    const std::uint32_t* indices, bool coloured, bool atlasColours) const;
    void releaseBuffers();
    bool fastDrawing() const;

    const BrainExpressionModel& model_;
    const GeneExpression& gene_;
    const UserPreferences& preferences_;
    LevelColourTables tables_;
    GLBuffer vertexBuffer_, indexBuffer_;
    // Bytes allocated in each buffer; a rebuild that fits reuses the storage.
    std::size_t vertexCapacity_ = 0, indexCapacity_ = 0;
    std::vector<ExpressorMesh::Range> groups_;
    bool coloured_ = false;
    bool dirty_ = true;
    int builtColourMode_ = -1;
};

} // namespace volumira
