#include "atlas/ColourMap.h"

#include "platform/FileUtils.h"

#include <filesystem>
#include <fstream>
#include <locale>
#include <stdexcept>

namespace volumira {

void ColourMap::load(const std::string& path) {
    std::fstream in;
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) openFileStream(in, path, std::ios::in);
    if (!in.is_open()) throw std::runtime_error("Colormap file could not be opened: " + path);
    in.imbue(std::locale::classic());

    std::array<std::uint8_t, kEntryCount * 3> entries{};
    int first = 0;
    for (int i = 0; i < kEntryCount; ++i) {
        int red = 0, green = 0, blue = 0;
        in >> red >> green >> blue;
        // Checked after each entry, so that a file ending inside the last entry is caught too.
        if (in.fail()) throw std::runtime_error("Unexpected end of colormap file: " + path);
        std::uint8_t* entry = &entries[static_cast<std::size_t>(i) * 3];
        entry[0] = static_cast<std::uint8_t>(red);
        entry[1] = static_cast<std::uint8_t>(green);
        entry[2] = static_cast<std::uint8_t>(blue);
        if (first == 0 && (entry[0] | entry[1] | entry[2]) != 0) first = i;
    }
    entries_ = entries;
    firstColourIndex_ = first;
}

std::array<std::uint8_t, 3> ColourMap::colour(int i) const {
    if (i < 0 || i >= kEntryCount)
        throw std::invalid_argument("Colour map entry out of range: " + std::to_string(i));
    const std::size_t at = static_cast<std::size_t>(i) * 3;
    return {entries_[at], entries_[at + 1], entries_[at + 2]};
}

} // namespace volumira
