#pragma once

#include "atlas/Mesh.h"
#include "render/MeshGl.h"

#include <string>
#include <vector>

namespace volumira {

class Ontology;
class StructureSet;
struct Structure;

// The surface meshes of the ontology's structures as GL display lists, read from "<acronym>.msh" the
// first time a structure is drawn. Must be created, used and destroyed with its GL context current.
class BrainMeshSet {
  public:
    // Structures in depth-first pre-order from root; meshDirectory ends in "/" (the data directory's
    // "Mesh25/" in the program). Reserves one display list per ontology slot in use.
    BrainMeshSet(const Ontology& ontology, const Structure& root, std::string meshDirectory);
    virtual ~BrainMeshSet();
    BrainMeshSet(const BrainMeshSet&) = delete;
    BrainMeshSet& operator=(const BrainMeshSet&) = delete;

    // Draws every structure whose own bit is in set as a translucent surface (the highlighted one in
    // green), under the picking name nameBase + structure index. A mesh that cannot be read is skipped
    // and tried again next time; this never throws for a bad mesh.
    void draw(const StructureSet& set, const Structure* highlighted, int nameBase);
    // The structures of the set for GL selection, each under its name. Sent vertex by vertex rather
    // than from the display lists: llvmpipe crashes replaying mesh display lists in selection mode.
    // Draws only loaded meshes: call loadAll outside selection mode first.
    // Meshes whose bounds lie outside the current projection and model-view (the pick region) are left
    // out, which spares the selection most of its work.
    void drawForPicking(const StructureSet& set, int nameBase);
    // Reads and compiles every structure of the set not loaded yet.
    void loadAll(const StructureSet& set);

    const std::vector<const Structure*>& structures() const { return structures_; }
    bool isLoaded(std::size_t position) const { return loaded_.at(position); }

  private:
    void load(std::size_t position);
    std::string meshDirectory_;
    std::vector<const Structure*> structures_;
    std::vector<bool> loaded_;
    // The scaled meshes, kept for picking.
    std::vector<Mesh> meshes_;
    std::vector<MeshBounds> bounds_;
    unsigned int listBase_ = 0;
    int listCount_ = 0;
};

} // namespace volumira
