#pragma once

#include "preferences/MemorySettingsStore.h"
#include "preferences/UserPreferences.h"

#include <ctime>
#include <memory>

namespace volumira::test {

// The seconds of a local date and time, the way the stored check times are read.
inline std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

// A memory store, a clock the test sets, and preferences loaded over them on demand.
class PreferencesFixture {
  public:
    std::unique_ptr<UserPreferences> load(ProgramVersion version = {1, 4, 3, 34},
                                          std::optional<KernelVersion> kernel = KernelVersion{6, 1}) {
        PreferencesEnvironment environment{[this] { return now; }, version, kernel};
        return std::make_unique<UserPreferences>(store, environment);
    }
    void set(const char* name, std::int32_t value) { store.writeInteger(kSettingsSection, name, value); }
    void set(const char* name, const char* text) { store.writeText(kSettingsSection, name, text); }
    std::int32_t stored(const char* name) const { return store.readInteger(kSettingsSection, name, -12345); }

    MemorySettingsStore store;
    std::time_t now = localTime(2008, 3, 7, 14, 5, 9);
};

} // namespace volumira::test
