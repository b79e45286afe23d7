#include "expression/ExpressionAtlas.h"

#include "atlas/ReferenceAtlas.h"

namespace volumira {

ExpressionAtlas::ExpressionAtlas(const ReferenceAtlas& atlas)
    : annotation100(atlas.annotation100()), ontology(atlas.ontology()) {}

} // namespace volumira
