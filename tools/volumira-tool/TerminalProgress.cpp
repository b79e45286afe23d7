#include "volumira-tool/TerminalProgress.h"

#include <cstdio>
#include <unistd.h>

namespace volumira::tool {

TerminalProgress::TerminalProgress(std::string label)
    : label_(std::move(label)), enabled_(isatty(STDERR_FILENO)) {}

TerminalProgress::~TerminalProgress() {
    if (drawn_) std::fprintf(stderr, "\r%-60s\r", "");
}

void TerminalProgress::report(float fraction, void* self) {
    auto* progress = static_cast<TerminalProgress*>(self);
    const int width = 30;
    const int filled = static_cast<int>(fraction * width + 0.5f);
    std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", progress->label_.c_str(), filled,
                 "##############################", width - filled, "",
                 static_cast<int>(fraction * 100.0f + 0.5f));
    std::fflush(stderr);
    progress->drawn_ = true;
}

} // namespace volumira::tool
