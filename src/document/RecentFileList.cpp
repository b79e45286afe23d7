#include "document/RecentFileList.h"

#include "preferences/SettingsStore.h"

#include <algorithm>

namespace volumira {

namespace {
std::string entryName(int i) { return "File" + std::to_string(i + 1); }
} // namespace

RecentFileList::RecentFileList(SettingsStore& store) : store_(store) {
    for (int i = 0; i < kSize; ++i) {
        std::string path = store_.readText(kSection, entryName(i), "");
        if (!path.empty() && std::find(paths_.begin(), paths_.end(), path) == paths_.end())
            paths_.push_back(std::move(path));
    }
}

void RecentFileList::add(const std::string& path) {
    if (path.empty()) return;
    std::erase(paths_, path);
    paths_.insert(paths_.begin(), path);
    if (paths_.size() > kSize) paths_.resize(kSize);
    save();
}

void RecentFileList::remove(const std::string& path) {
    if (std::erase(paths_, path)) save();
}

std::string RecentFileList::menuLabel(std::size_t index, const std::string& path) {
    const std::size_t number = index + 1;
    std::string label = number < 10    ? "&" + std::to_string(number)
                        : number == 10 ? std::string("1&0")
                                       : std::to_string(number);
    label += ' ';
    for (const char c : path) {
        if (c == '&') label += '&';
        label += c;
    }
    return label;
}

void RecentFileList::save() {
    for (int i = 0; i < kSize; ++i)
        store_.writeText(kSection, entryName(i), i < static_cast<int>(paths_.size()) ? paths_[i] : "");
}

} // namespace volumira
