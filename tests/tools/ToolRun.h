#pragma once

#include "volumira-tool/Tool.h"

#include <sstream>
#include <string>
#include <vector>

namespace volumira::test {

// What one in-process run of volumira-tool printed and returned.
struct ToolResult {
    int status;
    std::string out, err;
};

inline ToolResult runTool(std::vector<std::string> args) {
    args.insert(args.begin(), "volumira-tool");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = tool::runTool(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
}

} // namespace volumira::test
