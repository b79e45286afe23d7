#include "app/QSettingsStore.h"

namespace volumira {

QSettingsStore::QSettingsStore() : settings_(QSettings::NativeFormat, QSettings::UserScope, "Tessaly Institute", "Volumira") {}

QString QSettingsStore::key(const std::string& section, const std::string& name) {
    return QString::fromStdString(section) + '/' + QString::fromStdString(name);
}

std::int32_t QSettingsStore::readInteger(const std::string& section, const std::string& name,
                                         std::int32_t defaultValue) const {
    const QVariant value = settings_.value(key(section, name));
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!value.isValid() || !ok || number < INT32_MIN || number > INT32_MAX) return defaultValue;
    return static_cast<std::int32_t>(number);
}

void QSettingsStore::writeInteger(const std::string& section, const std::string& name, std::int32_t value) {
    settings_.setValue(key(section, name), value);
}

std::string QSettingsStore::readText(const std::string& section, const std::string& name,
                                     const std::string& defaultValue) const {
    const QVariant value = settings_.value(key(section, name));
    const QString text = value.toString();
    if (!value.isValid() || text.isEmpty()) return defaultValue;
    return text.toStdString();
}

void QSettingsStore::writeText(const std::string& section, const std::string& name, const std::string& value) {
    settings_.setValue(key(section, name), QString::fromStdString(value));
}

} // namespace volumira
