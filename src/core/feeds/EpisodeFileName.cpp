#include "core/feeds/EpisodeFileName.h"

#include "core/files/BaseDirectory.h"
#include "core/util/Text.h"

#include <array>
#include <optional>
#include <utility>

namespace tessarine {
namespace {

enum class Placeholder { Date, Title, Podcast, Ext };

// The placeholder `name` ("title" of "{title}") names; none for any other.
std::optional<Placeholder> PlaceholderNamed(std::string_view name) {
    static const std::array<std::pair<std::string_view, Placeholder>, 4> kNames = {
        {{"date", Placeholder::Date},
         {"title", Placeholder::Title},
         {"podcast", Placeholder::Podcast},
         {"ext", Placeholder::Ext}}};
    for (const auto& [text, placeholder] : kNames)
        if (text == name)
            return placeholder;
    return std::nullopt;
}

// Walks `pattern`, handing `literal` each run of text between placeholders
// and `placeholder` each placeholder; false, having stopped there, at a
// brace that opens no known placeholder or closes none.
template <typename Literal, typename Hole>
bool WalkPattern(std::string_view pattern, Literal&& literal, Hole&& placeholder) {
    while (!pattern.empty()) {
        const std::size_t brace = pattern.find_first_of("{}");
        literal(pattern.substr(0, brace));
        if (brace == std::string_view::npos)
            return true;
        const std::size_t close = pattern.find('}', brace);
        if (pattern[brace] == '}' || close == std::string_view::npos)
            return false;
        const auto known = PlaceholderNamed(pattern.substr(brace + 1, close - brace - 1));
        if (!known)
            return false;
        placeholder(*known);
        pattern.remove_prefix(close + 1);
    }
    return true;
}

bool IsBlank(char c) { return c == ' '; }

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// A value as a name holds it: each run of blanks, tabs and line breaks (a
// title spread over lines) one blank, none at its ends. Other control
// characters are left to the cleaning of the whole name.
std::string NameValue(std::string_view value) {
    std::string out;
    for (char c : Trimmed(value, IsWhiteSpace)) {
        if (!IsWhiteSpace(c))
            out += c;
        else if (out.back() != ' ')
            out += ' ';
    }
    return out;
}

// `name` without the blanks before its extension (see NameExtension).
std::string WithoutBlanksBeforeExtension(const std::string& name) {
    const std::string_view extension = NameExtension(name);
    std::string_view stem(name);
    stem.remove_suffix(extension.size());
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    return std::string(stem).append(extension);
}

} // namespace

bool IsFileNamePattern(std::string_view pattern) {
    bool titleOrDate = false;
    const bool wellFormed = WalkPattern(
        pattern, [](std::string_view) {},
        [&](Placeholder p) {
            titleOrDate = titleOrDate || p == Placeholder::Title || p == Placeholder::Date;
        });
    return wellFormed && titleOrDate;
}

std::string PatternFileName(std::string_view pattern, const EpisodeNameParts& parts) {
    std::string_view extension = NameExtension(parts.urlName);
    extension = extension.empty() ? "mp3" : extension.substr(1);
    std::string made;
    bool titleOrDate = false; // whether the episode's title or date went in
    const auto literal = [&](std::string_view text) { made.append(text); };
    const bool usable = IsFileNamePattern(pattern) &&
                        WalkPattern(pattern, literal, [&](Placeholder p) {
                            if (p == Placeholder::Ext) {
                                // "{title} {date}.{ext}" without a date:
                                // no blank before the dot.
                                if (made.ends_with('.')) {
                                    made.pop_back();
                                    made = std::string(Trimmed(made, IsBlank)) + '.';
                                }
                                made.append(extension);
                                return;
                            }
                            const std::string value =
                                NameValue(p == Placeholder::Date    ? parts.date
                                          : p == Placeholder::Title ? parts.title
                                                                    : parts.podcast);
                            titleOrDate = titleOrDate ||
                                          (p != Placeholder::Podcast && !value.empty());
                            made.append(value);
                        });
    made = std::string(Trimmed(made, IsBlank));
    std::string name;
    if (usable && titleOrDate) {
        name = FeedFolderName(made);
        // Shortening may have cut just after a blank.
        if (made.size() > kMaxEntryNameBytes)
            name = WithoutBlanksBeforeExtension(name);
    }
    if (name.empty())
        name = FeedFolderName(parts.urlName);
    // The name FileNameFromUrl gives a URL without one.
    return name.empty() ? "output" : name;
}

} // namespace tessarine
