// Header dates as instants.
#include "archive/PostInstant.h"

namespace horofu {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

// Reads up to width digits at p; false when there is none.
bool Number(std::string_view s, std::size_t& p, unsigned width, unsigned& value) {
    const std::size_t start = p;
    value = 0;
    while (p < s.size() && p - start < width && s[p] >= '0' && s[p] <= '9') {
        value = value * 10 + static_cast<unsigned>(s[p++] - '0');
    }
    return p > start;
}

}  // namespace

int64_t PostInstant(std::string_view s) {
    std::size_t p = 0;
    while (p < s.size() && (s[p] < '0' || s[p] > '9')) ++p;
    const std::size_t yearAt = p;
    unsigned year, month, day, hour = 0, minute = 0, second = 0;
    if (!Number(s, p, 4, year)) return 0;
    if (p - yearAt <= 2) year += year < 70 ? 2000 : 1900;
    if (p >= s.size() || s[p++] != '/' || !Number(s, p, 2, month)) return 0;
    if (p >= s.size() || s[p++] != '/' || !Number(s, p, 2, day)) return 0;
    if (month < 1 || month > 12 || day < 1 || day > 31) return 0;
    // The time follows the weekday, if any.
    while (p < s.size() && (s[p] < '0' || s[p] > '9')) ++p;
    if (Number(s, p, 2, hour) && p < s.size() && s[p] == ':') {
        ++p;
        Number(s, p, 2, minute);
        if (p < s.size() && s[p] == ':') {
            ++p;
            Number(s, p, 2, second);
        }
    }
    if (hour > 23 || minute > 59 || second > 60) hour = minute = second = 0;
    const int64_t days = DaysFromCivil(year, month, day);
    return days * 86400 + hour * 3600 + minute * 60 + second - 9 * 3600;
}

}  // namespace horofu
