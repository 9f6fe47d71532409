#pragma once
// The file names of one feed's enclosures.
//
// An enclosure keeps the name its URL gives (FileNameFromUrl, shortened to
// fit a folder entry) when no other enclosure URL of the feed gives the same
// name and the name is not one the program keeps for itself. Otherwise it is
// named with a tag made from its whole URL before the extension:
// "media.mp3" becomes "media-3f9a1c2b.mp3". Names are compared ignoring the
// case of ASCII letters, as file systems that ignore case would.
//
// A name depends only on the set of the feed's enclosure URLs, never on their
// order, so the same feed gives the same names at every check, and a URL's
// tag never changes.

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessarine {

// The local file name for an enclosure URL: the last path segment, without
// query or fragment; "\" and control characters become "_"; an empty name,
// "." or ".." gives "output".
std::string FileNameFromUrl(const std::string& url);

class EnclosureNames {
public:
    // Names for the distinct URLs among `urls`, each distinct from the others.
    explicit EnclosureNames(const std::vector<std::string>& urls);

    // The name for `url`; for a URL not given to the constructor the name it
    // would have alone. Empty when no name could be made that differs from
    // the others within kLastLevel tries (only URLs made to meet one
    // another's tags come that far): that enclosure cannot be stored.
    std::string NameOf(const std::string& url) const;

    // The most tries for one URL: its plain name, the short and the long
    // tag, then the long tag with a counter.
    static constexpr int kLastLevel = 64;

    // Whether a downloaded file must never take `name`: the feed archive, the
    // settings file, the episode store, their temporary files and partial
    // files.
    static bool IsReserved(std::string_view name);

    // A download under way is kept in a partial file beside its target, with
    // the information to resume it in another one: these end their names.
    static constexpr std::string_view kPartialSuffix = ".tessarine-part";
    static constexpr std::string_view kResumeSuffix = ".tessarine-resume";
    // Whether the folder entry `name` is a partial file or resume information.
    static bool IsPartialName(std::string_view name);

    // `name` with "-" and `tag` before its extension, shortened to fit a
    // folder entry; for a name whose extension is reserved, after it.
    static std::string Tagged(std::string_view name, std::string_view tag);

    // `hexDigits` (up to 16) lower-case hexadecimal digits of a hash of `text`,
    // the same on every platform and in every run.
    static std::string Tag(std::string_view text, int hexDigits);

private:
    static std::string NameAt(const std::string& url, const std::string& plain, int level);

    std::unordered_map<std::string, std::string> names_;
};

// The name of a subscription that has none of its own yet and whose feed
// names no channel: the feed URL's host and last path segment
// ("example.org - podcast.xml"), so that its files get a folder of their own.
// Where `taken` says another subscription's name gives the same folder, or
// the URL has neither, a tag made from the whole URL is added.
std::string NameFromFeedUrl(const std::string& url,
                            const std::function<bool(const std::string& name)>& taken);

} // namespace tessarine
