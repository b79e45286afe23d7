#pragma once

#include <string>
#include <vector>

namespace volumira {

class SettingsStore;

// The most recently opened gene files, newest first, kept in the settings under "Recent File List" as
// "File1".."File10".
class RecentFileList {
  public:
    static constexpr int kSize = 10;
    static constexpr const char* kSection = "Recent File List";

    // Reads the list; the store must outlive it.
    explicit RecentFileList(SettingsStore& store);
    // Puts the path first (moving it up when listed already), drops the oldest beyond ten, and saves.
    void add(const std::string& path);
    // Takes a path off the list (a file that could not be opened), and saves.
    void remove(const std::string& path);
    const std::vector<std::string>& paths() const { return paths_; }
    // The menu text of the entry at this index (0 for the newest): "&1 " to "&9 ", then "1&0 " before the
    // path, whose ampersands are doubled so that they show rather than mark a key.
    static std::string menuLabel(std::size_t index, const std::string& path);

  private:
    void save();

    SettingsStore& store_;
    std::vector<std::string> paths_;
};

} // namespace volumira
