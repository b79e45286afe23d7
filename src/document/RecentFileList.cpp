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

void RecentFileList::save() {
    for (int i = 0; i < kSize; ++i)
        store_.writeText(kSection, entryName(i), i < static_cast<int>(paths_.size()) ? paths_[i] : "");
}

} // namespace volumira
