#pragma once
// Small rules the episode library's parts share: paths relative to the base
// directory as the store keeps them ("Folder/file.mp3", "/" on every
// system), and dates as it keeps them.

#include "core/feeds/EpisodeFileName.h"
#include "core/feeds/FeedDate.h"
#include "core/store/EpisodeStore.h"

#include <ctime>
#include <optional>
#include <string>

namespace tessarine {

inline constexpr std::time_t kSecondsPerDay = 24 * 60 * 60;

// The file `name` of the folder `folder`, as the store keeps it.
inline std::string StoredPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + '/' + name;
}

// The file name of a path as the store keeps it.
inline std::string StoredName(const std::string& file) {
    const size_t slash = file.rfind('/');
    return slash == std::string::npos ? file : file.substr(slash + 1);
}

// A feed's date as the store keeps it (IsoDateTime); empty when it is none.
inline std::string StoredDate(const std::string& pubDate) {
    const std::optional<std::time_t> at = ParseFeedDate(pubDate);
    return at ? IsoDateTime(*at) : std::string();
}

// The episode's moment, for keep-days; none without a date.
inline std::optional<std::time_t> EpisodeMoment(const std::string& storedDate) {
    return storedDate.empty() ? std::nullopt : ParseFeedDate(storedDate);
}

// What a file-name pattern takes from `episode` of the podcast `podcast`,
// `urlName` being the name its URL gives.
inline EpisodeNameParts NamePartsOf(const StoredEpisode& episode, const std::string& podcast,
                                    const std::string& urlName) {
    EpisodeNameParts parts;
    if (const std::optional<std::time_t> at = EpisodeMoment(episode.date))
        parts.date = IsoDate(*at);
    parts.title = episode.title;
    parts.podcast = podcast;
    parts.urlName = urlName;
    return parts;
}
} // namespace tessarine
