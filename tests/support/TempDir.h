#pragma once

#include <string>

namespace volumira::test {

// A fresh directory under the system temp folder, removed with everything in it when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() joined with a relative name.
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeBytes(const std::string& path, const std::string& bytes);
std::string readBytes(const std::string& path);

} // namespace volumira::test
