#pragma once
// The download queue: every enclosure queued since start-up, in order. Entries
// are only appended and never removed, so entry n is always row n of the
// download list.

#include <cstdint>
#include <deque>
#include <string>

namespace tessarine {

enum class DownloadState : int32_t {
    Waiting = 0,
    Downloading = 2,
    Done = 3,
    Failed = 4, // the transfer did not complete; no file was kept
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
};

// Not synchronised itself: the shared model's lock guards it.
class DownloadQueue {
public:
    // Appends an entry and returns its index (its row).
    size_t Append(const std::string& url, const std::string& folder, const std::string& fileName,
                  EpisodeRef episode = {});
    // The entry at `index`, or none past the end (or for a negative index).
    DownloadEntry* At(long long index);
    const DownloadEntry* At(long long index) const;

private:
    std::deque<DownloadEntry> entries_; // stable addresses while appending
};

// Where an entry's file goes under the base directory `base`: the entry's
// file name in its feed's folder.
std::string DownloadTargetPath(const std::string& base, const DownloadEntry& entry);

} // namespace tessarine
