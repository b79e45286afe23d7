#include "storage/Caches.h"

#include <stdexcept>

namespace volumira {

// Function-local statics: built on first use, so no other static object can reach one before it exists.

MemoryGeneExpressionCache& resultListThumbnailCache() {
    static MemoryGeneExpressionCache cache;
    return cache;
}

MemoryGeneExpressionCache& thumbnailPanelCache() {
    static MemoryGeneExpressionCache cache;
    return cache;
}

MemoryTileCache& sectionImageTileCache(int layer) {
    static MemoryTileCache caches[2];
    if (layer < 0 || layer > 1) throw std::invalid_argument("Invalid section image layer.");
    return caches[layer];
}

} // namespace volumira
