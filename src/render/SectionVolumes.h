#pragma once

#include <array>

namespace volumira {

class ColourMap;
class Image3d;
class Ontology;
class ReferenceAtlas;

// The reference data the section planes are cut from: the fine annotation and Nissl volumes (same
// dimensions), the atlas colours and ontology, Bregma in annotation voxels, and the scene's grid spacing.
struct SectionVolumes {
    const Image3d& annotation;
    const Image3d& nissl;
    const ColourMap& colours;
    const Ontology& ontology;
    std::array<int, 3> bregma;
    // Micrometres per scene unit.
    float gridSpacing;

    // Annotation voxels per scene unit.
    float voxelsPerUnit() const;

    // The atlas's fine volumes, loaded first when they are not.
    static SectionVolumes ofAtlas(ReferenceAtlas& atlas);
};

} // namespace volumira
