#include "platform/OleDate.h"

#include <cmath>

namespace pw {

namespace {
// Days from 1970-01-01 of a proleptic Gregorian date (Howard Hinnant).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr long long kOleEpochFromUnix = -25569;  // 1899-12-30 in days from 1970-01-01
}  // namespace

double makeOleDate(int year, int month, int day, int hour, int minute, int second) {
    // Months carry into years; days, hours and minutes carry by plain addition.
    long long y = year + (month - 1) / 12;
    int m = (month - 1) % 12;
    if (m < 0) { m += 12; --y; }
    long long days = daysFromCivil(y, static_cast<unsigned>(m + 1), 1) + (day - 1) - kOleEpochFromUnix;
    double seconds = hour * 3600.0 + minute * 60.0 + second;
    return static_cast<double>(days) + seconds / 86400.0;
}

DateParts splitOleDate(double date) {
    double whole = std::floor(date);
    long long days = static_cast<long long>(whole);
    long long secs = std::llround((date - whole) * 86400.0);
    if (secs >= 86400) { ++days; secs -= 86400; }
    DateParts p{};
    civilFromDays(days + kOleEpochFromUnix, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>((secs / 60) % 60);
    p.second = static_cast<int>(secs % 60);
    return p;
}

double oleDateFromTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return makeOleDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

std::time_t timeFromOleDate(double date) {
    DateParts p = splitOleDate(date);
    std::tm tm{};
    tm.tm_year = p.year - 1900;
    tm.tm_mon = p.month - 1;
    tm.tm_mday = p.day;
    tm.tm_hour = p.hour;
    tm.tm_min = p.minute;
    tm.tm_sec = p.second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

}  // namespace pw
