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

  private:
    void save();

    SettingsStore& store_;
    std::vector<std::string> paths_;
};

} // namespace volumira
