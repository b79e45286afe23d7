#include "preferences/SettingsStore.h"

namespace volumira {

SettingsStore::~SettingsStore() = default;

} // namespace volumira
