#pragma once

#include "io/Image3d.h"

namespace volumira::tool {

// A progress bar on standard error for the volume loops; silent when standard error is not a terminal.
class TerminalProgress {
  public:
    explicit TerminalProgress(std::string label);
    ~TerminalProgress();

    static void report(float fraction, void* self);
    ProgressCallback callback() const { return enabled_ ? &TerminalProgress::report : nullptr; }
    void* userData() { return this; }

  private:
    std::string label_;
    bool enabled_;
    bool drawn_ = false;
};

} // namespace volumira::tool
