#pragma once

namespace volumira {

class Image3d;
class Ontology;
class ReferenceAtlas;

// What reading an expression grid needs from the reference atlas to find the structure of each cell:
// the coarse (100 µm) annotation and the ontology. Both must outlive the genes read with them, whose
// cells point at the ontology's structures.
struct ExpressionAtlas {
    ExpressionAtlas(const Image3d& coarseAnnotation, const Ontology& structures)
        : annotation100(coarseAnnotation), ontology(structures) {}
    explicit ExpressionAtlas(const ReferenceAtlas& atlas);

    const Image3d& annotation100;
    const Ontology& ontology;
};

} // namespace volumira
