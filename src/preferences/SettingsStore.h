#pragma once

// Where the persistent settings live: named integers and texts grouped in sections. The desktop build
// keeps them in QSettings; core code and tests only see this interface.

#include <cstdint>
#include <string>

namespace volumira {

// The section that holds every value of the program's own.
inline constexpr const char* kSettingsSection = "Settings";

class SettingsStore {
  public:
    virtual ~SettingsStore();
    // The stored integer, or defaultValue when the value is missing or not an integer.
    virtual std::int32_t readInteger(const std::string& section, const std::string& name,
                                     std::int32_t defaultValue) const = 0;
    // Failures are not reported: settings are a convenience, never worth interrupting the user for.
    virtual void writeInteger(const std::string& section, const std::string& name, std::int32_t value) = 0;
    // The stored text, or defaultValue when the value is missing, empty or not a text.
    virtual std::string readText(const std::string& section, const std::string& name,
                                 const std::string& defaultValue) const = 0;
    virtual void writeText(const std::string& section, const std::string& name, const std::string& value) = 0;
};

} // namespace volumira
