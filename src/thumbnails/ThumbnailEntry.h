#pragma once

// What a thumbnail slot shows of a list entry, and the slot's texts. No GL.

#include "expression/GeneExpression.h"

#include <cstdint>
#include <string>

namespace volumira {

// Slots of one page.
inline constexpr int kThumbnailSlots = 10;

// What a slot shows of a list entry, copied so that the slot never reaches into a list that may have
// been cleared.
struct ThumbnailEntry {
    std::string name, symbol, condition, fileUrl;
    std::int32_t imageSeriesId = 0, experimentId = 0, geneId = 0;
    std::int32_t plane = -1, probeOrientation = -1, fileSize = 0;
    float score = -1.0f;
    bool available = true;

    static ThumbnailEntry of(const GeneExpression& gene);
    // The file's path on the grid server when the entry names one without a scheme; empty otherwise.
    std::string gridPath() const;
};

// Three lines: the symbol (when there is one), the name, then plane, score and strand as far as known,
// each led by " - " (" - coronal - 0.500 - antisense"); the third line is empty when none is known.
std::string thumbnailDescription(const ThumbnailEntry& entry);
// "123 KB" (bytes / 1024 rounded), or empty for an unknown size.
std::string thumbnailSizeText(std::int32_t bytes);

} // namespace volumira
