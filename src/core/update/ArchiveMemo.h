#pragma once
// Per archive file, as the worker last left it: its stamp and a hash of the
// enclosure URLs of the feed, every one of which it records. While both are
// the same, an unchanged feed has nothing to append to it and the archive is
// not read. Lives as long as the engine; only the worker thread uses it.
// With an episode store it is also kept there, so that a program started
// anew does not read an unchanged archive either.

#include "core/files/File.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tessarine {

class EpisodeLedger;

class ArchiveMemo {
public:
    // The hash of the URLs, each ended by its length, in their order.
    static uint64_t LinksHash(const std::vector<std::string>& urls);

    // True when the archive at `path` is as this worker left it after
    // recording every URL of `links` (a LinksHash).
    bool Recorded(const std::string& path, uint64_t links) const;
    // The archive at `path` was brought up to date with `links`: remembered
    // with its stamp now when it holds them (`current`: saved, or nothing to
    // append); forgotten otherwise, or when its stamp cannot be read.
    void Remember(const std::string& path, uint64_t links, bool current);
    // The episode library that keeps the memo between runs; none: memory only.
    void KeepIn(EpisodeLedger* ledger) { ledger_ = ledger; }

private:
    struct Entry {
        FileStamp stamp;
        uint64_t links = 0;
    };
    mutable std::unordered_map<std::string, Entry> entries_; // filled from the store
    EpisodeLedger* ledger_ = nullptr;
};

} // namespace tessarine
