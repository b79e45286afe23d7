#pragma once

#include "atlas/Mesh.h"
#include "render/GLHandles.h"
#include "render/MeshGl.h"

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace volumira {

class Ontology;
class StructureSet;
struct Structure;

// The surface meshes of the ontology's structures as GL display lists. The "<acronym>.msh" files are read
// on a worker thread, asked for ahead of drawing by prefetch (when the structures are chosen); a draw
// waits for any of its meshes still being read and only compiles and draws. Drawing needs the GL context
// current; the display lists free themselves in it, and lists the context took away are compiled again
// from the meshes kept.
class BrainMeshSet {
  public:
    // Structures in depth-first pre-order from root; meshDirectory ends in "/" (the data directory's
    // "Mesh25/" in the program). Makes no GL call: one display list per ontology slot in use is
    // reserved at the first draw.
    BrainMeshSet(const Ontology& ontology, const Structure& root, std::string meshDirectory);
    // Stops the reading after the file being read.
    virtual ~BrainMeshSet();
    BrainMeshSet(const BrainMeshSet&) = delete;
    BrainMeshSet& operator=(const BrainMeshSet&) = delete;

    // Starts reading the meshes of the set's structures that are neither read nor being read.
    void prefetch(const StructureSet& set);
    // Draws every structure whose own bit is in set as a translucent surface (the highlighted one in
    // green), under the picking name nameBase + structure index. A mesh that cannot be read is skipped
    // and read again next time; this never throws for a bad mesh.
    void draw(const StructureSet& set, const Structure* highlighted, int nameBase);
    // The structures of the set for GL selection, each under its name. Sent vertex by vertex rather
    // than from the display lists: llvmpipe crashes replaying mesh display lists in selection mode.
    // Draws only loaded meshes: call loadAll outside selection mode first.
    // Meshes whose bounds lie outside the current projection and model-view (the pick region) are left
    // out, which spares the selection most of its work.
    void drawForPicking(const StructureSet& set, int nameBase);
    // Reads (or waits for) and compiles every structure of the set not loaded yet. Throws
    // std::runtime_error when the GL gives no display lists.
    void loadAll(const StructureSet& set);

    // Whether files asked for are still being read.
    bool reading() const;
    const std::vector<const Structure*>& structures() const { return structures_; }
    // Whether the structure's mesh has been read.
    bool isLoaded(std::size_t position) const { return loaded_.at(position); }

  private:
    struct Read;
    // Waits for every read under way and keeps what it read.
    void collect();
    std::string meshDirectory_;
    std::vector<const Structure*> structures_;
    std::vector<bool> loaded_, reading_, compiled_;
    // The scaled meshes, kept for picking and for compiling again.
    std::vector<Mesh> meshes_;
    std::vector<MeshBounds> bounds_;
    GLDisplayLists lists_;
    int listCount_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    std::vector<std::future<std::vector<Read>>> reads_;
};

} // namespace volumira
