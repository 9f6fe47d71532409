#pragma once
// File names made from a pattern instead of the enclosure URL's last segment:
// "{date} {title}.{ext}" gives "2026-12-08 Episode 12.mp3".
//
// Placeholders: {date} the episode's date (ISO, "2026-12-08"; empty without
// one), {title} its title, {podcast} the podcast's name, {ext} the extension
// of the name the URL gives (without its dot; "mp3" when it has none).
// Everything else is taken as it is. The name made is cleaned by the rule
// that makes folder names (separators and control characters become "_",
// "." and ".." cannot result, a too long name is shortened keeping its
// extension), so no pattern and no title can lead out of the podcast's folder.

#include <string>
#include <string_view>

namespace tessarine {

struct EpisodeNameParts {
    std::string date;    // ISO date, empty when unknown
    std::string title;
    std::string podcast;
    std::string urlName; // the name the enclosure URL gives (FileNameFromUrl)
};

// Whether `pattern` can name files: every "{...}" in it is a known
// placeholder, braces are paired, and it holds {title} or {date} (a pattern
// without either would give every episode the same name).
bool IsFileNamePattern(std::string_view pattern);

// The name `pattern` gives the episode of `parts`; never empty. Values are
// put in without blanks around them and with one blank for each run of
// blanks, tabs and line breaks in them; the name made has no blanks at its
// ends nor before the dot of {ext}. The episode gets the URL's name instead (cleaned as the made
// name is) when the pattern is none (IsFileNamePattern) or the episode has
// neither title nor date to put in. The name may still be one the program
// keeps for itself: the caller tags it, as it tags names that clash.
std::string PatternFileName(std::string_view pattern, const EpisodeNameParts& parts);

} // namespace tessarine
