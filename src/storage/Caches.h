#pragma once

#include "storage/MemoryGeneExpressionCache.h"
#include "storage/MemoryTileCache.h"

namespace volumira {

// The process-wide caches, alive for the whole run. All of them are used from the UI thread only.

// Expression files behind the thumbnails of the result lists.
MemoryGeneExpressionCache& resultListThumbnailCache();
// Expression files behind the thumbnail panel.
MemoryGeneExpressionCache& thumbnailPanelCache();
// Tiles of one of the two image layers of a section-image view: layer 0 or 1; any other layer throws
// std::invalid_argument.
MemoryTileCache& sectionImageTileCache(int layer);

} // namespace volumira
