#pragma once
// Dates as feeds write them, read into one calendar time: the RFC 822 dates
// of RSS ("Tue, 08 Dec 2026 10:00:00 +0100", also without the day name or
// the seconds, with a two-digit year, a zone name such as "GMT", "EST" or a
// military letter) and the RFC 3339 dates of Atom ("2026-12-08T10:00:00Z",
// also with an offset, fractions of a second, or as a date alone).
// Feeds that nearly follow RFC 822 read as well: day and month names in any
// letter case, in full or cut short ("Tues", "Sept"), single-digit days,
// "-" between the parts, the month before the day ("Tue Dec 8 10:00:00
// 2026", "Dec 8, 2026"), "am"/"pm", "GMT+0100", a trailing "(comment)".
// A missing time is midnight, a missing or unknown zone is UTC; a wrong day
// name is ignored, an impossible date or time (31 April, 25:00) is no date.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tessarine {

// The moment `text` names, in seconds since the epoch (UTC); none when it is
// no date of either form. Blanks around it do not count.
std::optional<std::time_t> ParseFeedDate(std::string_view text);

// `t` (UTC) as "2026-12-08T10:00:00Z": the form the episode store keeps,
// which sorts as the moments do.
std::string IsoDateTime(std::time_t t);
// `t` (UTC) as "2026-12-08".
std::string IsoDate(std::time_t t);

} // namespace tessarine
