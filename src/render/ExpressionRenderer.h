#pragma once

#include "render/ExpressorStyle.h"

namespace volumira {

class BrainExpressionModel;
class GeneExpression;
class UserPreferences;

// Draws one gene's cells as small shapes ("expressors"), one GL display list per structure group so
// that structure filtering and atlas colouring cost one colour change and one list call per group.
// Fast drawing uses unlit octahedra twice as large; quality drawing uses lit icosahedra. While the
// model's interactive-change flag is set (plane and threshold drags) the lists are bypassed and the
// cells are drawn directly with the fast shapes. GL calls need the scene's context to be current;
// that includes destruction, which deletes the lists.
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
    // The lists are rebuilt at the next display draw.
    void markDirty() { dirty_ = true; }
    // Marks the lists dirty when the model's colour mode needs other colours inside them than those
    // they were built with (or always with force).
    void checkColourMode(bool force);

    bool isDirty() const { return dirty_; }
    const GeneExpression& gene() const { return gene_; }

  private:
    // Compiles the lists, or with compile false draws the same cells at once, skipping filtered groups.
    void buildLists(bool compile);
    void releaseLists();
    bool fastDrawing() const;

    const BrainExpressionModel& model_;
    const GeneExpression& gene_;
    const UserPreferences& preferences_;
    LevelColourTables tables_;
    unsigned int firstList_ = 0;
    int listCount_ = 0;
    bool dirty_ = true;
    int builtColourMode_ = -1;
};

} // namespace volumira
