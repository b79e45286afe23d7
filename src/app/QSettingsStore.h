#pragma once

#include "preferences/SettingsStore.h"

#include <QSettings>

namespace volumira {

// The desktop's settings store: QSettings of organisation "Tessaly Institute", application "Volumira",
// one group per section (~/.config/Tessaly Institute/Volumira.conf).
class QSettingsStore : public SettingsStore {
  public:
    QSettingsStore();
    std::int32_t readInteger(const std::string& section, const std::string& name,
                             std::int32_t defaultValue) const override;
    void writeInteger(const std::string& section, const std::string& name, std::int32_t value) override;
    std::string readText(const std::string& section, const std::string& name,
                         const std::string& defaultValue) const override;
    void writeText(const std::string& section, const std::string& name, const std::string& value) override;

  private:
    static QString key(const std::string& section, const std::string& name);
    mutable QSettings settings_;
};

} // namespace volumira
