#include "core/feeds/FeedDate.h"

#include "core/util/OleDateTime.h"
#include "core/util/Text.h"

#include <array>
#include <cstdio>

namespace tessarine {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A date's fields as read, before they are checked.
struct Moment {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0; // east of UTC
};

// Reads a text from its start; a failed reading may leave the position
// anywhere, so optional parts are read from a mark they can return to.
class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ == text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    std::size_t Mark() const { return pos_; }
    void Reset(std::size_t mark) { pos_ = mark; }

    bool Take(char c) {
        if (AtEnd() || LowerAscii(text_[pos_]) != c)
            return false;
        ++pos_;
        return true;
    }
    // Whether any blank was skipped.
    bool SkipBlanks() {
        const std::size_t start = pos_;
        while (!AtEnd() && IsBlank(text_[pos_]))
            ++pos_;
        return pos_ > start;
    }
    // A run of letters in lower case; empty when none stands here.
    std::string Word() {
        const std::size_t start = pos_;
        while (!AtEnd() && IsLetter(text_[pos_]))
            ++pos_;
        return LowerAscii(text_.substr(start, pos_ - start));
    }
    // A number of `minDigits` to `maxDigits` digits, with no further digit
    // after it; -1 otherwise. `digits` tells how many it had.
    int Number(int minDigits, int maxDigits, int* digits = nullptr) {
        int value = 0, count = 0;
        while (count < maxDigits && !AtEnd() && IsDigit(text_[pos_])) {
            value = value * 10 + (text_[pos_++] - '0');
            ++count;
        }
        if (digits != nullptr)
            *digits = count;
        return count < minDigits || IsDigit(Peek()) ? -1 : value;
    }
    void SkipDigits() {
        while (IsDigit(Peek()))
            ++pos_;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Whether `word` names a day of the week: its full English name or a prefix
// of it of at least three letters ("tue", "tues", "tuesday").
bool IsDayName(const std::string& word) {
    static const std::array<std::string_view, 7> kDays = {
        "monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    for (std::string_view day : kDays)
        if (word.size() >= 3 && day.starts_with(word))
            return true;
    return false;
}

// The month `word` names in the same way ("dec", "sept", "december"): 1 to
// 12; 0 for any other word.
int MonthOf(const std::string& word) {
    static const std::array<std::string_view, 12> kMonths = {
        "january", "february", "march",     "april",   "may",      "june",
        "july",    "august",   "september", "october", "november", "december"};
    for (std::size_t i = 0; i < kMonths.size(); ++i)
        if (word.size() >= 3 && kMonths[i].starts_with(word))
            return static_cast<int>(i) + 1;
    return 0;
}

// The offset east of UTC, in minutes, of a zone written as a name. RFC 822
// names the zones of the United States; its military letters count the
// wrong way, so they tell nothing, and a name whose meaning is unknown is
// taken as UTC, as RFC 2822 advises. A few names common in feeds from
// Europe and Australia are known besides.
int ZoneNameOffset(const std::string& name) {
    struct Zone {
        std::string_view name;
        int hours;
    };
    static const std::array<Zone, 16> kZones = {{{"est", -5},
                                                 {"edt", -4},
                                                 {"cst", -6},
                                                 {"cdt", -5},
                                                 {"mst", -7},
                                                 {"mdt", -6},
                                                 {"pst", -8},
                                                 {"pdt", -7},
                                                 {"bst", 1},
                                                 {"cet", 1},
                                                 {"cest", 2},
                                                 {"eet", 2},
                                                 {"eest", 3},
                                                 {"aest", 10},
                                                 {"aedt", 11},
                                                 {"jst", 9}}};
    for (const Zone& zone : kZones)
        if (zone.name == name)
            return zone.hours * 60;
    return 0; // UT, GMT, UTC, Z, the military letters, anything else
}

// "hh", "hhmm" or "hh:mm" after the sign of a numeric zone.
bool ReadOffset(Reader& r, Moment& m) {
    const int sign = r.Take('+') ? 1 : r.Take('-') ? -1 : 0;
    if (sign == 0)
        return false;
    int digits = 0;
    int hours = r.Number(2, 4, &digits), minutes = 0;
    if (digits == 4) {
        minutes = hours % 100;
        hours /= 100;
    } else if (digits != 2) {
        return false;
    } else if (r.Take(':')) {
        minutes = r.Number(2, 2);
    }
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59)
        return false;
    m.offsetMinutes = sign * (hours * 60 + minutes);
    return true;
}

// Hours (of `hourDigits` or two digits), minutes and, when given, seconds:
// "10:00", "9:05:00.250" (fractions are dropped).
bool ReadClock(Reader& r, Moment& m, int hourDigits) {
    m.hour = r.Number(hourDigits, 2);
    if (m.hour < 0 || !r.Take(':') || (m.minute = r.Number(2, 2)) < 0)
        return false;
    if (r.Take(':') && (m.second = r.Number(2, 2)) < 0)
        return false;
    if (r.Take('.') || r.Take(','))
        r.SkipDigits();
    return true;
}

// A time as RSS writes it ("10:00", "10:00:00", "9:05:00.250"), also with
// "am" or "pm" after it.
bool ReadTime(Reader& r, Moment& m) {
    if (!ReadClock(r, m, 1))
        return false;
    const std::size_t mark = r.Mark();
    r.SkipBlanks();
    const std::string half = r.Word();
    if (half != "am" && half != "pm") {
        r.Reset(mark);
        return true;
    }
    if (m.hour < 1 || m.hour > 12)
        return false;
    m.hour = m.hour % 12 + (half == "pm" ? 12 : 0);
    return true;
}

// A year of four digits, or of two (00 to 49 this century, 50 to 99 the
// last); not the hour of a time, which is left to be read.
bool ReadYear(Reader& r, Moment& m) {
    const std::size_t mark = r.Mark();
    int digits = 0;
    const int year = r.Number(2, 4, &digits);
    if (year < 0 || digits == 3 || r.Peek() == ':') {
        r.Reset(mark);
        return false;
    }
    m.year = digits == 4 ? year : year < 50 ? 2000 + year : 1900 + year;
    return true;
}

// Between the parts of a date: blanks, a "-" or a comma with blanks or not.
bool Separator(Reader& r) {
    const bool comma = r.Take(',');
    return r.SkipBlanks() || r.Take('-') || comma;
}

// RFC 822 as RSS writes it, and as it is written nearly so: "Tue, 08 Dec
// 2026 10:00:00 +0100", "8 dec 2026 10:00 GMT", "Tuesday, 08-Dec-26
// 10:00:00 EST", "Tue Dec 8 10:00:00 2026", "Dec 8, 2026", "Tue Dec 08
// 2026 10:00:00 GMT+0100 (CET)". Without a time the day starts at midnight;
// without a zone the time is UTC.
bool ReadRfc822(Reader& r, Moment& m) {
    std::size_t mark = r.Mark();
    if (IsDayName(r.Word())) {
        r.SkipBlanks();
        r.Take(',');
        r.SkipBlanks();
    } else {
        r.Reset(mark);
    }
    bool timeRead = false;
    mark = r.Mark();
    if ((m.month = MonthOf(r.Word())) > 0) {
        // The month first: the year follows the day, or the time.
        r.Take('.');
        if (!Separator(r) || (m.day = r.Number(1, 2)) < 0 || !Separator(r))
            return false;
        if (!ReadYear(r, m)) {
            timeRead = ReadTime(r, m);
            if (!timeRead || !r.SkipBlanks() || !ReadYear(r, m))
                return false;
        }
    } else {
        r.Reset(mark);
        if ((m.day = r.Number(1, 2)) < 0 || !Separator(r) || (m.month = MonthOf(r.Word())) == 0)
            return false;
        r.Take('.');
        if (!Separator(r) || !ReadYear(r, m))
            return false;
    }
    // The time after the date, set off by blanks or a comma.
    const bool comma = r.Take(',');
    if (r.SkipBlanks() || comma) {
        if (!timeRead && IsDigit(r.Peek()) && !ReadTime(r, m))
            return false;
        r.SkipBlanks();
    }
    // The zone: a number, a name, or a name with a number ("GMT+0100").
    if (r.Peek() == '+' || r.Peek() == '-') {
        if (!ReadOffset(r, m))
            return false;
    } else if (const std::string name = r.Word(); !name.empty()) {
        if (name.size() > 5)
            return false;
        m.offsetMinutes = ZoneNameOffset(name);
        if ((r.Peek() == '+' || r.Peek() == '-') && !ReadOffset(r, m))
            return false;
    }
    // A comment may follow, as "(CET)".
    r.SkipBlanks();
    if (r.Take('(')) {
        while (!r.Take(')')) {
            if (r.AtEnd())
                return false;
            r.Reset(r.Mark() + 1);
        }
        r.SkipBlanks();
    }
    return r.AtEnd();
}

// RFC 3339 as Atom writes it ("2026-12-08T10:00:00Z", "2026-12-08t10:00:00.5+01:00"),
// also with a blank for the "T", without seconds or zone (then UTC), or the
// date alone (midnight UTC).
bool ReadRfc3339(Reader& r, Moment& m) {
    m.year = r.Number(4, 4);
    if (m.year < 0 || !r.Take('-') || (m.month = r.Number(2, 2)) < 0 || !r.Take('-') ||
        (m.day = r.Number(2, 2)) < 0)
        return false;
    if (r.AtEnd())
        return true;
    if ((!r.Take('t') && !r.SkipBlanks()) || !ReadClock(r, m, 2))
        return false;
    if (!r.Take('z') && (r.Peek() == '+' || r.Peek() == '-') && !ReadOffset(r, m))
        return false;
    return r.AtEnd();
}

// The moment of `m`; none for a date that does not exist (30 February) or a
// time of day that does not (25:00). A leap second counts into the next minute.
std::optional<std::time_t> Checked(const Moment& m) {
    if (m.month < 1 || m.month > 12 || m.day < 1 || m.day > 31 || m.hour > 23 ||
        m.minute > 59 || m.second > 60)
        return std::nullopt;
    const long long days =
        DaysFromCivil(m.year, static_cast<unsigned>(m.month), static_cast<unsigned>(m.day));
    // A day past the month's end comes back as a day of the next month.
    int year = 0, month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    if (month != m.month || day != m.day)
        return std::nullopt;
    return static_cast<std::time_t>(days * 86400 + m.hour * 3600LL + m.minute * 60LL +
                                    m.second - m.offsetMinutes * 60LL);
}

} // namespace

std::optional<std::time_t> ParseFeedDate(std::string_view text) {
    text = Trimmed(text, IsBlank);
    Moment m;
    // Atom's dates start with the year, RSS's never do.
    const bool rfc3339 = text.size() > 4 && IsDigit(text[0]) && IsDigit(text[1]) &&
                         IsDigit(text[2]) && IsDigit(text[3]) && text[4] == '-';
    Reader r(text);
    if (!(rfc3339 ? ReadRfc3339(r, m) : ReadRfc822(r, m)))
        return std::nullopt;
    return Checked(m);
}

namespace {

// The date and the time of day of `t`, split without the system's calendar
// (which cannot give every moment on every system).
Moment Split(std::time_t t) {
    long long days = static_cast<long long>(t) / 86400;
    long long seconds = static_cast<long long>(t) % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    Moment m;
    CivilFromDays(days, m.year, m.month, m.day);
    m.hour = static_cast<int>(seconds / 3600);
    m.minute = static_cast<int>(seconds / 60 % 60);
    m.second = static_cast<int>(seconds % 60);
    return m;
}

} // namespace

std::string IsoDateTime(std::time_t t) {
    const Moment m = Split(t);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", m.year, m.month, m.day,
                  m.hour, m.minute, m.second);
    return text;
}

std::string IsoDate(std::time_t t) {
    const Moment m = Split(t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", m.year, m.month, m.day);
    return text;
}

} // namespace tessarine
