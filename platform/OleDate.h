// Automation dates: days since 30 December 1899, fraction = time of day.
#pragma once

#include <ctime>

namespace pw {

// The date of year, month, day, hour, minute, second; out-of-range parts
// carry into the next larger unit (month 13 is January of the next year).
double makeOleDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

struct DateParts {
    int year, month, day, hour, minute, second;
};
DateParts splitOleDate(double date);

// Local time conversions.
double oleDateFromTime(std::time_t t);
std::time_t timeFromOleDate(double date);

}  // namespace pw
