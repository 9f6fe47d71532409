#pragma once
// The download queue: every enclosure queued since start-up, in order. Entries
// are only appended and never removed, so entry n is always row n of the
// download list; an entry taken off the list keeps its place in the state
// Removed.

#include "core/model/Subscription.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessarine {

enum class DownloadState : int32_t {
    Waiting = 0,
    Downloading = 2,
    Done = 3,
    Failed = 4,    // the transfer did not complete; no file was kept
    Cancelled = 5, // stopped by the user or with its podcast; a resumable part is kept
    Removed = 6,   // taken off the list; never fetched again
};

// The stored episode a download is of (see EpisodeLedger); podcast 0 for
// none, when no episode store is open.
struct EpisodeRef {
    int64_t podcast = 0;
    std::string key{};
};

struct DownloadEntry {
    std::string url;
    std::string folder;   // the feed's title; its folder name is formed from it
    std::string fileName; // the file's name in that folder (EnclosureNames)
    DownloadState state = DownloadState::Waiting;
    EpisodeRef episode{};
    // The subscription whose check queued it, as an identity (none when
    // queued otherwise); it does not keep a removed record alive.
    std::weak_ptr<Subscription> subscription{};
};

// Not synchronised itself: the shared model's lock guards it.
class DownloadQueue {
public:
    // Appends an entry and returns its index (its row).
    size_t Append(const std::string& url, const std::string& folder, const std::string& fileName,
                  EpisodeRef episode = {}, const SubscriptionPtr& subscription = nullptr);
    // The entry for the same file in the same folder that failed or was
    // cancelled and is still listed: it waits again, for `url` and
    // `episode`. Its index, or none when there is no such entry.
    std::optional<size_t> Requeue(const std::string& url, const std::string& folder,
                                  const std::string& fileName, const EpisodeRef& episode);
    // The entry at `index`, or none past the end (or for a negative index).
    DownloadEntry* At(long long index);
    const DownloadEntry* At(long long index) const;
    // The indices of the entries queued for `subscription` that are waiting,
    // downloading or failed (a failed one is fetched again by a later cycle).
    std::vector<size_t> UnfinishedOf(const SubscriptionPtr& subscription) const;
    // The indices of the entries that have ended (done, failed or cancelled).
    std::vector<size_t> Finished() const;

private:
    std::deque<DownloadEntry> entries_; // stable addresses while appending
    // The latest entry of each file, by its folder and name.
    std::unordered_map<std::string, size_t> latest_;
};

// Where an entry's file goes under the base directory `base`: the entry's
// file name in its feed's folder.
std::string DownloadTargetPath(const std::string& base, const DownloadEntry& entry);

} // namespace tessarine
