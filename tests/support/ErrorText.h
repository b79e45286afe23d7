#pragma once

#include <exception>
#include <functional>
#include <string>

namespace volumira::test {

// Runs the operation and returns the text of the standard exception it threw, or "" when it threw none.
inline std::string errorOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

} // namespace volumira::test
