// Buffer objects are core since GL 1.5 and exported by the GL library itself, so they are called
// directly rather than looked up; this must precede every GL header of this file.
#define GL_GLEXT_PROTOTYPES 1

#include "render/ExpressionRenderer.h"

#include "atlas/Structure.h"
#include "expression/BrainExpressionModel.h"
#include "expression/GeneExpression.h"
#include "preferences/UserPreferences.h"
#include "render/GL.h"
#include "render/Shapes.h"

#include <cstddef>
#include <cstdint>

namespace volumira {

namespace {

bool usesTable(int mode) {
    return mode == kColourLevel || mode == kColourJet;
}

// Whether faces wound counter-clockwise outwards in the model appear counter-clockwise on the window under
// the current matrices. A mirroring model-view or a projection that flips x or y turns the winding round.
bool windingKeptOnWindow() {
    float projection[16], modelView[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    const float* m = modelView;
    const float modelDeterminant = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
                                   m[8] * (m[1] * m[6] - m[5] * m[2]);
    const float windowDeterminant = projection[0] * projection[5] - projection[4] * projection[1];
    return (modelDeterminant > 0) == (windowDeterminant > 0);
}

bool anyClipPlaneEnabled() {
    GLint planes = 6;
    glGetIntegerv(GL_MAX_CLIP_PLANES, &planes);
    for (GLint p = 0; p < planes; ++p)
        if (glIsEnabled(static_cast<GLenum>(GL_CLIP_PLANE0 + p))) return true;
    return false;
}

// An address for the GL's array pointers: within client memory, or an offset into a bound buffer.
const void* arrayPointer(std::uintptr_t base, std::size_t offset) {
    return reinterpret_cast<const void*>(base + offset);
}

} // namespace

ExpressionRenderer::ExpressionRenderer(const BrainExpressionModel& model, const GeneExpression& gene,
                                       const UserPreferences& preferences, const LevelColourTables& tables)
    : model_(model), gene_(gene), preferences_(preferences), tables_(tables) {}

ExpressionRenderer::~ExpressionRenderer() {
    releaseBuffers();
}

void ExpressionRenderer::releaseBuffers() {
    vertexBuffer_.reset();
    indexBuffer_.reset();
    vertexCapacity_ = indexCapacity_ = 0;
    groups_.clear();
}

bool ExpressionRenderer::fastDrawing() const {
    return preferences_.fasterLowerQualityExpressorDrawing();
}

void ExpressionRenderer::checkColourMode(bool force) {
    if (force) {
        dirty_ = true;
        return;
    }
    const int mode = model_.geneColourMode();
    if (mode != builtColourMode_ && (fastDrawing() || usesTable(mode) || usesTable(builtColourMode_)))
        dirty_ = true;
}

bool ExpressionRenderer::buildMesh(ExpressorMesh& mesh, bool fast, bool skipFilteredGroups) const {
    const float shapeFactor = fast ? 2.0f : 1.0f;
    const IndexedShape& shape = fast ? unitOctahedron() : unitIcosahedron();
    const int mode = model_.geneColourMode();
    const CellFilter filter = CellFilter::ofModel(model_);
    ExpressorColourer colourer(mode, fast, tables_.forMode(mode), gene_.colour());
    bool coloured = false;
    for (const GeneExpression::StructureCells& group : gene_.structureCells()) {
        mesh.beginGroup();
        if (!skipFilteredGroups || filter.includesStructure(group.structure)) {
            colourer.startGroup(group.structure);
            for (const ExpressionCell* cell : group.cells) {
                if (!filter.inRanges(*cell)) continue;
                bool colourChanged = false;
                if (!colourer.decide(cell->level, colourChanged)) continue;
                coloured = coloured || colourChanged;
                mesh.add(shape, cell->x, cell->y, cell->z, expressorSize(*cell) * shapeFactor,
                         colourer.colour());
            }
        }
        mesh.endGroup();
    }
    return coloured;
}

void ExpressionRenderer::rebuildBuffer() {
    const bool fast = fastDrawing();
    ExpressorMesh counted;
    coloured_ = buildMesh(counted, fast, false);
    if (!vertexBuffer_ || !indexBuffer_) {
        // New buffers have no storage yet.
        vertexBuffer_ = GLBuffer::generate();
        indexBuffer_ = GLBuffer::generate();
        vertexCapacity_ = indexCapacity_ = 0;
    }
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.id());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_.id());
    const bool filled = fillBuffers(counted, fast);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    // A buffer the GL would not map or lost while mapped draws nothing and is built again next frame.
    groups_ = filled ? counted.groups() : std::vector<ExpressorMesh::Range>{};
    builtColourMode_ = model_.geneColourMode();
    dirty_ = !filled;
}

bool ExpressionRenderer::fillBuffers(const ExpressorMesh& counted, bool fast) {
    if (counted.indexCount() == 0) return true;
    const std::size_t vertexBytes = counted.vertexCount() * sizeof(ExpressorMesh::Vertex);
    const std::size_t indexBytes = counted.indexCount() * sizeof(std::uint32_t);
    if (vertexBytes > vertexCapacity_) {
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertexBytes), nullptr, GL_STATIC_DRAW);
        vertexCapacity_ = vertexBytes;
    }
    if (indexBytes > indexCapacity_) {
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indexBytes), nullptr, GL_STATIC_DRAW);
        indexCapacity_ = indexBytes;
    }
    auto* vertices = static_cast<ExpressorMesh::Vertex*>(glMapBuffer(GL_ARRAY_BUFFER, GL_WRITE_ONLY));
    auto* indices = static_cast<std::uint32_t*>(glMapBuffer(GL_ELEMENT_ARRAY_BUFFER, GL_WRITE_ONLY));
    if (vertices && indices) {
        ExpressorMesh mesh(vertices, indices);
        buildMesh(mesh, fast, false);
    }
    const bool vertexKept = vertices == nullptr || glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    const bool indexKept = indices == nullptr || glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER) == GL_TRUE;
    return vertices && indices && vertexKept && indexKept;
}

void ExpressionRenderer::drawGroups(const std::vector<ExpressorMesh::Range>& groups,
                                    const ExpressorMesh::Vertex* vertices, const std::uint32_t* indices,
                                    bool coloured, bool atlasColours) const {
    const CellFilter filter = CellFilter::ofModel(model_);
    const auto& structureGroups = gene_.structureCells();
    const auto base = reinterpret_cast<std::uintptr_t>(vertices);
    const auto indexBase = reinterpret_cast<std::uintptr_t>(indices);
    const auto stride = static_cast<GLsizei>(sizeof(ExpressorMesh::Vertex));
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glPushAttrib(GL_ENABLE_BIT | GL_POLYGON_BIT);
    // Every shape is closed and wound outwards, so the faces turned away are hidden behind the others: the
    // GL drops them before rasterising, about half of all triangles. A clipping plane opens shapes up,
    // and their inner faces must show then.
    if (!anyClipPlaneEnabled()) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glFrontFace(windingKeptOnWindow() ? GL_CCW : GL_CW);
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    // Unlit shapes need no normals; leaving them out spares the vertex fetch.
    if (glIsEnabled(GL_LIGHTING)) glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, arrayPointer(base, offsetof(ExpressorMesh::Vertex, position)));
    glNormalPointer(GL_FLOAT, stride, arrayPointer(base, offsetof(ExpressorMesh::Vertex, normal)));
    if (coloured) {
        glEnableClientState(GL_COLOR_ARRAY);
        glColorPointer(4, GL_UNSIGNED_BYTE, stride,
                       arrayPointer(base, offsetof(ExpressorMesh::Vertex, colour)));
    }
    for (std::size_t k = 0; k < groups.size() && k < structureGroups.size(); ++k) {
        if (groups[k].count == 0 || !filter.includesStructure(structureGroups[k].structure)) continue;
        if (atlasColours) {
            const std::array<float, 3> c = structureColour(*structureGroups[k].structure);
            glColor3f(c[0] * 0.7f, c[1] * 0.7f, c[2] * 0.7f);
        }
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(groups[k].count), GL_UNSIGNED_INT,
                       arrayPointer(indexBase, groups[k].first * sizeof(std::uint32_t)));
    }
    glPopAttrib();
    glPopClientAttrib();
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
        // Drags change the filters on every step: draw straight from client memory, fast.
        ExpressorMesh counted;
        buildMesh(counted, true, true);
        std::vector<ExpressorMesh::Vertex> vertices(counted.vertexCount());
        std::vector<std::uint32_t> indices(counted.indexCount());
        ExpressorMesh mesh(vertices.data(), indices.data());
        const bool coloured = buildMesh(mesh, true, true);
        drawGroups(mesh.groups(), vertices.data(), indices.data(), coloured, false);
        return;
    }
    // Buffers that went with their context leave nothing to draw from: client memory would be read instead.
    if (dirty_ || !vertexBuffer_ || !indexBuffer_) rebuildBuffer();
    if (!vertexBuffer_ || !indexBuffer_) return;
    const bool quality = !fastDrawing();
    if (quality) glColor3fv(gene_.colour().data());
    glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_.id());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_.id());
    drawGroups(groups_, nullptr, nullptr, coloured_, quality && model_.geneColourMode() == kColourAtlas);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
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
