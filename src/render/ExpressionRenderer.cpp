#include "render/ExpressionRenderer.h"

#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/Shapes.h"

namespace volumira {

namespace {

bool usesTable(int mode) { return mode == kColourLevel || mode == kColourJet; }

} // namespace

ExpressionRenderer::ExpressionRenderer(const BrainExpressionModel& model, const GeneExpression& gene,
                                       const UserPreferences& preferences, const LevelColourTables& tables)
    : model_(model), gene_(gene), preferences_(preferences), tables_(tables) {}

ExpressionRenderer::~ExpressionRenderer() { releaseLists(); }

void ExpressionRenderer::releaseLists() {
    if (firstList_ != 0) glDeleteLists(firstList_, listCount_);
    firstList_ = 0;
    listCount_ = 0;
}

bool ExpressionRenderer::fastDrawing() const { return preferences_.fasterLowerQualityExpressorDrawing(); }

void ExpressionRenderer::checkColourMode(bool force) {
    if (force) {
        dirty_ = true;
        return;
    }
    const int mode = model_.geneColourMode();
    if (mode != builtColourMode_ && (fastDrawing() || usesTable(mode) || usesTable(builtColourMode_)))
        dirty_ = true;
}

void ExpressionRenderer::buildLists(bool compile) {
    const bool fast = fastDrawing() || (!compile && model_.auxiliaryFlag());
    const float shapeFactor = fast ? 2.0f : 1.0f;
    const int mode = model_.geneColourMode();
    const CellFilter filter = CellFilter::ofModel(model_);
    const auto& groups = gene_.structureCells();
    if (compile && listCount_ != static_cast<int>(groups.size())) {
        releaseLists();
        if (!groups.empty()) {
            firstList_ = glGenLists(static_cast<GLsizei>(groups.size()));
            if (firstList_ == 0) return; // no names left: nothing can be compiled, try again next frame
            listCount_ = static_cast<int>(groups.size());
        }
    }
    const auto& colour = gene_.colour();
    ExpressorColourer colourer(mode, fast, tables_.forMode(mode), colour);
    for (std::size_t k = 0; k < groups.size(); ++k) {
        const GeneExpression::StructureCells& group = groups[k];
        // Lists are compiled unfiltered by structure; the filter applies when they are called.
        if (!compile && !filter.includesStructure(group.structure)) continue;
        if (compile) glNewList(firstList_ + static_cast<GLuint>(k), GL_COMPILE);
        colourer.startGroup(group.structure);
        glBegin(GL_TRIANGLES);
        for (const ExpressionCell* cell : group.cells) {
            if (!filter.inRanges(*cell)) continue;
            bool colourChanged = false;
            if (!colourer.decide(cell->level, colourChanged)) continue;
            if (colourChanged) glColor3fv(colourer.colour().data());
            const float size = expressorSize(*cell) * shapeFactor;
            if (fast)
                OctahedronShape::octahedron(cell->x, cell->y, cell->z, size, true);
            else
                IcosahedronShape::icosahedron(cell->x, cell->y, cell->z, size, false);
        }
        glEnd();
        if (compile) glEndList();
    }
    if (compile) {
        builtColourMode_ = mode;
        dirty_ = false;
    }
}

void ExpressionRenderer::drawCells(bool pick, unsigned int nameBase) {
    if (!gene_.isVisible()) return;
    if (pick) {
        const CellFilter filter = CellFilter::ofModel(model_);
        const ColourMap* table = tables_.forMode(model_.geneColourMode());
        for (const GeneExpression::StructureCells& group : gene_.structureCells()) {
            if (group.cells.empty() || !filter.includesStructure(group.structure)) continue;
            for (const ExpressionCell* cell : group.cells) {
                if (!filter.inRanges(*cell) || (table && isBlackLevel(*table, cell->level))) continue;
                glLoadName(nameBase + static_cast<GLuint>(cell->gridId - 1));
                BoxShape::cube(cell->x, cell->y, cell->z, expressorSize(*cell));
            }
        }
        return;
    }
    if (model_.auxiliaryFlag()) {
        buildLists(false);
        return;
    }
    if (dirty_) buildLists(true);
    if (firstList_ == 0) return;
    const bool quality = !fastDrawing();
    const bool atlasColours = quality && model_.geneColourMode() == kColourAtlas;
    if (quality) glColor3fv(gene_.colour().data());
    const CellFilter filter = CellFilter::ofModel(model_);
    const auto& groups = gene_.structureCells();
    for (std::size_t k = 0; k < groups.size() && static_cast<int>(k) < listCount_; ++k) {
        if (groups[k].cells.empty() || !filter.includesStructure(groups[k].structure)) continue;
        if (atlasColours) {
            std::array<float, 3> c = structureColour(*groups[k].structure);
            glColor3f(c[0] * 0.7f, c[1] * 0.7f, c[2] * 0.7f);
        }
        glCallList(firstList_ + static_cast<GLuint>(k));
    }
}

void ExpressionRenderer::drawSelectedCell(const ExpressionCell& cell) {
    glColor4f(0.0f, 0.8f, 0.0f, 1.0f);
    const float size = expressorSize(cell);
    if (fastDrawing())
        OctahedronShape::octahedron(cell.x, cell.y, cell.z, size * 2.25f, false);
    else
        IcosahedronShape::icosahedron(cell.x, cell.y, cell.z, size * 1.25f, true);
}

} // namespace volumira
