#include "preferences/CheckTime.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace volumira {

namespace {

constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// A cursor over the text that accepts only the exact layout.
class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    bool number(int digits, int& value) {
        value = 0;
        for (int i = 0; i < digits; ++i) {
            if (pos_ >= text_.size() || !std::isdigit(static_cast<unsigned char>(text_[pos_]))) return false;
            value = value * 10 + (text_[pos_++] - '0');
        }
        return true;
    }
    bool literal(const char* expected) {
        const std::size_t length = std::strlen(expected);
        if (text_.compare(pos_, length, expected) != 0) return false;
        pos_ += length;
        return true;
    }
    bool month(int& index) {
        for (std::size_t i = 0; i < kMonths.size(); ++i)
            if (literal(kMonths[i])) {
                index = static_cast<int>(i);
                return true;
            }
        return false;
    }
    bool atEnd() const { return pos_ == text_.size(); }

  private:
    const std::string& text_;
    std::size_t pos_ = 0;
};

int daysInMonth(int month, int year) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 1 && leap ? 29 : kDays[static_cast<std::size_t>(month)];
}

} // namespace

std::string formatCheckTime(std::time_t time) {
    std::tm local{};
    if (!localtime_r(&time, &local)) return "";
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %s %02d, %d", local.tm_hour, local.tm_min, local.tm_sec,
                  kMonths[static_cast<std::size_t>(local.tm_mon)], local.tm_mday, local.tm_year + 1900);
    return text;
}

std::optional<std::time_t> parseCheckTime(const std::string& text) {
    Reader reader(text);
    int hour = 0, minute = 0, second = 0, month = 0, day = 0, year = 0;
    if (!(reader.number(2, hour) && reader.literal(":") && reader.number(2, minute) && reader.literal(":") &&
          reader.number(2, second) && reader.literal(" ") && reader.month(month) && reader.literal(" ") &&
          reader.number(2, day) && reader.literal(", ") && reader.number(4, year) && reader.atEnd()))
        return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59 || day < 1 || day > daysInMonth(month, year))
        return std::nullopt;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t time = std::mktime(&local);
    if (time == static_cast<std::time_t>(-1)) return std::nullopt;
    return time;
}

} // namespace volumira
