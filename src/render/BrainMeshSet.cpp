#include "render/BrainMeshSet.h"

#include "atlas/Mesh.h"
#include "atlas/Ontology.h"
#include "render/GL.h"
#include "render/MatrixMath.h"
#include "render/MeshGl.h"

#include <stdexcept>

namespace volumira {

namespace {

void addSubtree(const Structure& s, std::vector<const Structure*>& out) {
    out.push_back(&s);
    for (const Structure* child : s.children)
        addSubtree(*child, out);
}

} // namespace

BrainMeshSet::BrainMeshSet(const Ontology& ontology, const Structure& root, std::string meshDirectory)
    : meshDirectory_(std::move(meshDirectory)) {
    addSubtree(root, structures_);
    listCount_ = std::max(ontology.count(), static_cast<int>(structures_.size()));
    loaded_.assign(static_cast<std::size_t>(listCount_), false);
    meshes_.resize(static_cast<std::size_t>(listCount_));
    bounds_.resize(static_cast<std::size_t>(listCount_));
    if (listCount_ > 0) {
        listBase_ = glGenLists(listCount_);
        if (listBase_ == 0)
            throw std::runtime_error("Could not reserve OpenGL display lists for the meshes.");
    }
}

BrainMeshSet::~BrainMeshSet() {
    if (listBase_ != 0) glDeleteLists(listBase_, listCount_);
}

void BrainMeshSet::load(std::size_t position) {
    const Structure& s = *structures_[position];
    Mesh mesh;
    try {
        mesh.readMesh(meshDirectory_ + s.acronym + ".msh");
    } catch (const std::exception&) {
        return; // not drawn now, read again next time
    }
    mesh.scalePositions(0.25f);
    glNewList(listBase_ + static_cast<unsigned>(position), GL_COMPILE);
    emitGl(mesh);
    glEndList();
    bounds_[position] = boundsOf(mesh);
    meshes_[position] = std::move(mesh);
    loaded_[position] = true;
}

void BrainMeshSet::drawForPicking(const StructureSet& set, int nameBase) {
    Matrix4 projection, modelView;
    glGetFloatv(GL_PROJECTION_MATRIX, projection.data());
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView.data());
    const Matrix4 toClip = multiplyMatrices(projection, modelView);
    for (std::size_t p = 0; p < structures_.size(); ++p) {
        const Structure& s = *structures_[p];
        if (!loaded_[p] || !s.selfSet.intersects(set) || boxOutsideClipVolume(toClip.data(), bounds_[p]))
            continue;
        glLoadName(static_cast<GLuint>(nameBase + s.index));
        emitGl(meshes_[p]);
    }
}

void BrainMeshSet::loadAll(const StructureSet& set) {
    for (std::size_t p = 0; p < structures_.size(); ++p)
        if (!loaded_[p] && structures_[p]->selfSet.intersects(set)) load(p);
}

void BrainMeshSet::draw(const StructureSet& set, const Structure* highlighted, int nameBase) {
    for (std::size_t p = 0; p < structures_.size(); ++p) {
        const Structure& s = *structures_[p];
        if (!s.selfSet.intersects(set)) continue;
        if (!loaded_[p]) load(p);
        if (&s == highlighted)
            glColor4f(0.0f, 0.8f, 0.0f, 0.25f);
        else
            glColor4f(s.red * 0.7f / 255.0f, s.green * 0.7f / 255.0f, s.blue * 0.7f / 255.0f, 0.25f);
        glLoadName(static_cast<GLuint>(nameBase + s.index));
        glCallList(listBase_ + static_cast<unsigned>(p));
    }
}

} // namespace volumira
