#pragma once

#include <cstdint>
#include <string>

namespace volumira {

// One section image an expression grid was measured from, with the server paths of the image and of its
// expression mask.
struct SectionImage {
    std::uint32_t section = 0;
    std::uint32_t imageId = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string primaryPath;
    std::string expressionPath;

    friend bool operator==(const SectionImage&, const SectionImage&) = default;
};

// Files carry server paths in several spellings: a path starting with a slash or backslash gets forward
// slashes and loses its first component (the server or share name); other paths are kept as they are.
std::string normaliseSectionPath(const std::string& path);

// Brings both paths into server form and, when the mask path is missing, derives it from the image path
// by replacing its first "/primary/" with "/express/" (empty when there is none).
void normaliseSectionPaths(SectionImage& image);

} // namespace volumira
