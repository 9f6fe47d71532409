#pragma once
// A local date and time to the second, held as days since 30 December 1899
// (the integer part counts days, the fraction is the time of day) together
// with a validity flag.

#include "core/util/System.h"

#include <ctime>
#include <string>
#include <string_view>

namespace tessarine {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d);
// The civil date of the day `days` after 1970-01-01 (before it when negative).
void CivilFromDays(long long days, int& y, int& m, int& d);

struct DateFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class OleDateTime {
public:
    OleDateTime() = default; // invalid

    static OleDateTime Now();
    static OleDateTime FromTime(std::time_t t);
    static OleDateTime FromFields(const DateFields& f); // invalid when out of range
    static OleDateTime FromValue(double value);
    // Reads the stored layout "%d.%m.%Y %H:%M:%S"; anything else is invalid.
    static OleDateTime ParseStored(std::string_view text);

    bool IsValid() const { return valid_; }
    double Value() const { return value_; }
    // Splits the value into calendar fields, rounded to the second.
    bool GetFields(DateFields& out) const;

    // strftime pattern applied to the fields; "Invalid DateTime" when invalid.
    std::string Format(const char* pattern) const;
    std::string FormatShown() const;  // as the lists show it: "%d.%m.%Y %H:%M"
    std::string FormatStored() const; // as files store it: "%d.%m.%Y %H:%M:%S"

    friend bool operator==(const OleDateTime& a, const OleDateTime& b) {
        return a.valid_ == b.valid_ && (!a.valid_ || a.value_ == b.value_);
    }

private:
    double value_ = 0.0;
    bool valid_ = false;
};

inline constexpr const char* kInvalidDateTime = "Invalid DateTime";

} // namespace tessarine
