#pragma once

// Settings kept in memory only: for tests, and for runs that have no persistent store.

#include "preferences/SettingsStore.h"

#include <map>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace volumira {

class MemorySettingsStore : public SettingsStore {
  public:
    std::int32_t readInteger(const std::string& section, const std::string& name,
                             std::int32_t defaultValue) const override;
    void writeInteger(const std::string& section, const std::string& name, std::int32_t value) override;
    std::string readText(const std::string& section, const std::string& name,
                         const std::string& defaultValue) const override;
    void writeText(const std::string& section, const std::string& name, const std::string& value) override;

    bool contains(const std::string& section, const std::string& name) const;
    void remove(const std::string& section, const std::string& name);
    // Names of the successful writes, in order, so that callers can check what was written and when.
    const std::vector<std::string>& writeLog() const { return writeLog_; }
    void clearWriteLog() { writeLog_.clear(); }
    // A read-only store ignores writes silently, as a store whose backing file cannot be written does.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

  private:
    using Key = std::pair<std::string, std::string>;
    std::map<Key, std::variant<std::int32_t, std::string>> values_;
    std::vector<std::string> writeLog_;
    bool readOnly_ = false;
};

} // namespace volumira
