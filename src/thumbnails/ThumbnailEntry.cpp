#include "thumbnails/ThumbnailEntry.h"

#include <cmath>
#include <cstdio>

namespace volumira {

ThumbnailEntry ThumbnailEntry::of(const GeneExpression& gene) {
    ThumbnailEntry e;
    e.name = gene.name();
    e.symbol = gene.symbol();
    e.condition = gene.condition();
    e.fileUrl = gene.expressionFileUrl();
    e.imageSeriesId = gene.imageSeriesId();
    e.experimentId = gene.experimentId();
    e.geneId = gene.geneId();
    e.plane = gene.plane();
    e.probeOrientation = gene.probeOrientation();
    e.fileSize = gene.fileSize();
    e.score = gene.score();
    e.available = gene.isAvailable();
    return e;
}

std::string ThumbnailEntry::gridPath() const {
    if (fileUrl.find("://") != std::string::npos) return {};
    std::string path = fileUrl;
    while (!path.empty() && path.front() == '/')
        path.erase(path.begin());
    return path;
}

std::string thumbnailDescription(const ThumbnailEntry& entry) {
    std::string details;
    // Every part, the first included, is led by " - ", so the line reads as a continuation of the name.
    auto add = [&details](const std::string& part) { details += " - " + part; };
    if (entry.plane == 0) add("coronal");
    if (entry.plane == 1) add("sagittal");
    if (entry.score >= 0.0f) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", static_cast<double>(entry.score));
        add(text);
    }
    if (entry.probeOrientation == 1) add("antisense");
    if (entry.probeOrientation == 0) add("sense");
    std::string text = entry.symbol.empty() ? "" : entry.symbol + "\n";
    return text + entry.name + "\n" + details;
}

std::string thumbnailSizeText(std::int32_t bytes) {
    if (bytes <= 0) return {};
    return std::to_string(static_cast<long long>(std::lround(bytes / 1024.0))) + " KB";
}

} // namespace volumira
