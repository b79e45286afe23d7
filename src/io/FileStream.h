#pragma once

#include "io/IOStream.h"
#include "platform/FileUtils.h"

namespace volumira {

// A stream over one buffered file opened either for reading or for writing (create or truncate).
class FileStream : public IOStream {
  public:
    enum class Mode { ReadBinary, WriteBinary };

    FileStream(const std::string& path, Mode mode);

    void read(void* buffer, std::size_t n) override;
    void write(const void* buffer, std::size_t n) override;
    std::int32_t tell() override;
    void seek(std::int32_t position) override;
    void skip(std::int32_t offset) override;
    virtual void close();

    // The underlying file, for codecs that read or write through stdio themselves.
    std::FILE* handle() { return file_.get(); }

  private:
    UniqueFile file_;
};

} // namespace volumira
