#include "render/BrainMeshSet.h"

#include "atlas/Mesh.h"
#include "atlas/Ontology.h"
#include "render/GL.h"
#include "render/MatrixMath.h"
#include "render/MeshGl.h"

#include <chrono>
#include <stdexcept>
#include <system_error>
#include <utility>

namespace volumira {

// One file read by the worker: the mesh scaled to scene units with its bounds, or nothing.
struct BrainMeshSet::Read {
    std::size_t position = 0;
    bool ok = false;
    Mesh mesh;
    MeshBounds bounds;
};

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
    const auto count = static_cast<std::size_t>(listCount_);
    loaded_.assign(count, false);
    reading_.assign(count, false);
    compiled_.assign(count, false);
    meshes_.resize(count);
    bounds_.resize(count);
}

BrainMeshSet::~BrainMeshSet() {
    stop_->store(true);
    // Each future waits for its worker.
    reads_.clear();
}

void BrainMeshSet::prefetch(const StructureSet& set) {
    std::vector<std::pair<std::size_t, std::string>> files;
    for (std::size_t p = 0; p < structures_.size(); ++p) {
        if (loaded_[p] || reading_[p] || !structures_[p]->selfSet.intersects(set)) continue;
        reading_[p] = true;
        files.emplace_back(p, meshDirectory_ + structures_[p]->acronym + ".msh");
    }
    if (files.empty()) return;
    auto readAll = [files = std::move(files), stop = stop_] {
        std::vector<Read> reads;
        for (const auto& [position, path] : files) {
            if (stop->load()) break;
            Read read;
            read.position = position;
            try {
                read.mesh.readMesh(path);
                read.mesh.scalePositions(0.25f);
                read.bounds = boundsOf(read.mesh);
                read.ok = true;
            } catch (...) {
                // not drawn now, read again next time
            }
            reads.push_back(std::move(read));
        }
        return reads;
    };
    try {
        reads_.push_back(std::async(std::launch::async, readAll));
    } catch (const std::system_error&) {
        // No thread to be had: read when the meshes are wanted.
        reads_.push_back(std::async(std::launch::deferred, std::move(readAll)));
    }
}

bool BrainMeshSet::reading() const {
    for (const auto& pending : reads_)
        if (pending.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return true;
    return false;
}

void BrainMeshSet::collect() {
    for (auto& pending : reads_)
        for (Read& read : pending.get()) {
            reading_[read.position] = false;
            if (!read.ok) continue;
            meshes_[read.position] = std::move(read.mesh);
            bounds_[read.position] = read.bounds;
            loaded_[read.position] = true;
            compiled_[read.position] = false;
        }
    reads_.clear();
}

void BrainMeshSet::loadAll(const StructureSet& set) {
    prefetch(set);
    collect();
    if (!lists_ && listCount_ > 0) {
        lists_ = GLDisplayLists::generate(listCount_);
        if (!lists_) throw std::runtime_error("Could not reserve OpenGL display lists for the meshes.");
        compiled_.assign(compiled_.size(), false);
    }
    for (std::size_t p = 0; p < structures_.size(); ++p) {
        if (!loaded_[p] || compiled_[p] || !structures_[p]->selfSet.intersects(set)) continue;
        glNewList(lists_.list(p), GL_COMPILE);
        emitGl(meshes_[p]);
        glEndList();
        compiled_[p] = true;
    }
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

void BrainMeshSet::draw(const StructureSet& set, const Structure* highlighted, int nameBase) {
    loadAll(set);
    for (std::size_t p = 0; p < structures_.size(); ++p) {
        const Structure& s = *structures_[p];
        if (!s.selfSet.intersects(set)) continue;
        if (&s == highlighted)
            glColor4f(0.0f, 0.8f, 0.0f, 0.25f);
        else
            glColor4f(s.red * 0.7f / 255.0f, s.green * 0.7f / 255.0f, s.blue * 0.7f / 255.0f, 0.25f);
        glLoadName(static_cast<GLuint>(nameBase + s.index));
        if (compiled_[p]) glCallList(lists_.list(p));
    }
}

} // namespace volumira
