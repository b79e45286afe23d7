#include "render/SectionVolumes.h"

#include "atlas/ReferenceAtlas.h"

namespace volumira {

float SectionVolumes::voxelsPerUnit() const {
    return gridSpacing / annotation.spacing();
}

SectionVolumes SectionVolumes::ofAtlas(ReferenceAtlas& atlas) {
    const Image3d& annotation = atlas.annotation25();
    const Image3d& nissl = atlas.nissl25();
    return {annotation,
            nissl,
            atlas.atlasColourMap(),
            atlas.ontology(),
            {atlas.bregma25(0), atlas.bregma25(1), atlas.bregma25(2)},
            atlas.spacing100()};
}

} // namespace volumira
