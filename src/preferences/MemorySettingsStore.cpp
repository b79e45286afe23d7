#include "preferences/MemorySettingsStore.h"

namespace volumira {

std::int32_t MemorySettingsStore::readInteger(const std::string& section, const std::string& name,
                                              std::int32_t defaultValue) const {
    const auto it = values_.find({section, name});
    if (it == values_.end()) return defaultValue;
    const auto* value = std::get_if<std::int32_t>(&it->second);
    return value ? *value : defaultValue;
}

void MemorySettingsStore::writeInteger(const std::string& section, const std::string& name,
                                       std::int32_t value) {
    if (readOnly_) return;
    values_[{section, name}] = value;
    writeLog_.push_back(name);
}

std::string MemorySettingsStore::readText(const std::string& section, const std::string& name,
                                          const std::string& defaultValue) const {
    const auto it = values_.find({section, name});
    if (it == values_.end()) return defaultValue;
    const auto* value = std::get_if<std::string>(&it->second);
    return value && !value->empty() ? *value : defaultValue;
}

void MemorySettingsStore::writeText(const std::string& section, const std::string& name,
                                    const std::string& value) {
    if (readOnly_) return;
    values_[{section, name}] = value;
    writeLog_.push_back(name);
}

bool MemorySettingsStore::contains(const std::string& section, const std::string& name) const {
    return values_.count({section, name}) != 0;
}

void MemorySettingsStore::remove(const std::string& section, const std::string& name) {
    values_.erase({section, name});
}

} // namespace volumira
