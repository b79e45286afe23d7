#include "document/GeneListText.h"

#include "expression/GeneExpression.h"

namespace volumira {

std::string geneListCopyText(std::span<const GeneExpression* const> genes) {
    std::string text = "Symbol\tName\tEntrez ID\tImage Series ID\r\n";
    for (const GeneExpression* gene : genes) {
        if (!gene) continue;
        text += gene->symbol() + "\t" + gene->name() + "\t" + std::to_string(gene->geneId()) + "\t" +
                std::to_string(gene->imageSeriesId()) + "\r\n";
    }
    return text;
}

} // namespace volumira
