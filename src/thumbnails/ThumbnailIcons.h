#pragma once

// The program's own 16 x 16 pictures of the thumbnail page: the paging and animation buttons of the
// header and the two follow-up search buttons of each thumbnail.

#include <cstdint>
#include <vector>

namespace volumira {

enum class ThumbnailIcon {
    kFirstPage,
    kPreviousPage,
    kNextPage,
    kLastPage,
    kAnimation,
    kAllExperiments,
    kSimilarGenes
};

inline constexpr int kThumbnailIconSize = 16;

// Blue, green, red, alpha per pixel, rows top first, colours premultiplied by alpha: transparent where
// the picture has nothing.
std::vector<std::uint8_t> thumbnailIconPixels(ThumbnailIcon icon);

} // namespace volumira
