#include "expression/SectionImage.h"

#include <algorithm>

namespace volumira {

std::string normaliseSectionPath(const std::string& path) {
    if (path.empty() || (path.front() != '/' && path.front() != '\\')) return path;
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    const std::size_t start = result.find_first_not_of('/');
    if (start == std::string::npos) return result;
    const std::size_t slash = result.find('/', start);
    // A single component has nothing to drop.
    if (slash == std::string::npos) return result;
    return result.substr(slash + 1);
}

void normaliseSectionPaths(SectionImage& image) {
    image.primaryPath = normaliseSectionPath(image.primaryPath);
    image.expressionPath = normaliseSectionPath(image.expressionPath);
    if (!image.expressionPath.empty() || image.primaryPath.empty()) return;
    static const std::string primary = "/primary/", express = "/express/";
    const std::size_t at = image.primaryPath.find(primary);
    if (at == std::string::npos) return;
    image.expressionPath = image.primaryPath;
    image.expressionPath.replace(at, primary.size(), express);
}

} // namespace volumira
