#include "core/util/OleDateTime.h"

#include "core/util/Strings.h"

#include <cmath>
#include <cstdio>

namespace tessarine {

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

namespace {

const long long kEpochOffset = DaysFromCivil(1899, 12, 30); // day 0 of the value

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// The range the value can represent: years 100 to 9999.
constexpr double kMinValue = -657434.0;
constexpr double kMaxValue = 2958465.999995;

} // namespace

long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}


OleDateTime OleDateTime::Now() { return FromTime(std::time(nullptr)); }

OleDateTime OleDateTime::FromTime(std::time_t t) {
    std::tm local{};
    if (!LocalTime(t, local))
        return {};
    return FromFields({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                       local.tm_min, local.tm_sec});
}

OleDateTime OleDateTime::FromFields(const DateFields& f) {
    if (f.year < 100 || f.year > 9999 || f.month < 1 || f.month > 12 || f.day < 1 ||
        f.day > DaysInMonth(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
        f.minute > 59 || f.second < 0 || f.second > 59)
        return {};
    const long long days = DaysFromCivil(f.year, f.month, f.day) - kEpochOffset;
    const double time = (f.hour * 3600 + f.minute * 60 + f.second) / 86400.0;
    OleDateTime result;
    // Before the epoch the fraction still counts forward from midnight.
    result.value_ = days >= 0 ? days + time : days - time;
    // The first day's times after midnight lie below the smallest value.
    result.valid_ = result.value_ >= kMinValue && result.value_ <= kMaxValue;
    return result;
}

OleDateTime OleDateTime::FromValue(double value) {
    OleDateTime result;
    if (std::isfinite(value) && value >= kMinValue && value <= kMaxValue) {
        result.value_ = value;
        result.valid_ = true;
    }
    return result;
}

bool OleDateTime::GetFields(DateFields& out) const {
    if (!valid_ || !std::isfinite(value_) || value_ < kMinValue || value_ > kMaxValue)
        return false;
    const double whole = std::trunc(value_);
    long long days = static_cast<long long>(whole);
    long long seconds = std::llround(std::fabs(value_ - whole) * 86400.0);
    if (seconds >= 86400) { // rounding carried into the next day
        seconds -= 86400;
        days += value_ >= 0 ? 1 : -1;
    }
    CivilFromDays(days + kEpochOffset, out.year, out.month, out.day);
    out.hour = static_cast<int>(seconds / 3600);
    out.minute = static_cast<int>(seconds / 60 % 60);
    out.second = static_cast<int>(seconds % 60);
    return true;
}

OleDateTime OleDateTime::ParseStored(std::string_view text) {
    // Exactly "dd.mm.yyyy hh:mm:ss", every field with its digits.
    if (text.size() != 19)
        return {};
    auto digits = [&](size_t pos, size_t count, int& value) {
        value = 0;
        for (size_t i = pos; i < pos + count; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            value = value * 10 + (text[i] - '0');
        }
        return true;
    };
    DateFields f;
    if (!digits(0, 2, f.day) || text[2] != '.' || !digits(3, 2, f.month) || text[5] != '.' ||
        !digits(6, 4, f.year) || text[10] != ' ' || !digits(11, 2, f.hour) || text[13] != ':' ||
        !digits(14, 2, f.minute) || text[16] != ':' || !digits(17, 2, f.second))
        return {};
    return FromFields(f);
}

std::string OleDateTime::Format(const char* pattern) const {
    DateFields f;
    if (!GetFields(f))
        return kInvalidDateTime;
    std::tm tm{};
    tm.tm_year = f.year - 1900;
    tm.tm_mon = f.month - 1;
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_isdst = -1;
    char buffer[256];
    const size_t n = std::strftime(buffer, sizeof buffer, pattern, &tm);
    if (n == 0 && pattern[0] != '\0')
        return kInvalidDateTime;
    return std::string(buffer, n);
}

std::string OleDateTime::FormatShown() const {
    // The table holds the pattern with doubled percent signs; one pass of the
    // formatter yields "%d.%m.%Y %H:%M".
    const std::string pattern = FormatText(LoadResString(IDS_DATE_FORMAT), {});
    return Format(pattern.c_str());
}

std::string OleDateTime::FormatStored() const {
    // "%d.%m.%Y %H:%M:%S", with the year in four digits also before 1000 (as
    // ParseStored wants it), so that every valid value reads back.
    DateFields f;
    if (!GetFields(f))
        return kInvalidDateTime;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d %02d:%02d:%02d", f.day, f.month, f.year,
                  f.hour, f.minute, f.second);
    return buffer;
}

} // namespace tessarine
