#pragma once
// One feed's archive during its check: every item of the feed that the
// archive lacks is appended, and the archive saved. When the memo says the
// archive is as this worker left it after recording every one of the feed's
// enclosure URLs, nothing would be appended: it is not even read.

#include "core/feeds/FeedArchive.h"
#include "core/feeds/FeedReader.h"
#include "core/update/ArchiveMemo.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tessarine {

class ArchiveUpdate {
public:
    ArchiveUpdate(ArchiveMemo& memo, std::string path,
                  const std::vector<std::string>& enclosureUrls);
    ArchiveUpdate(const ArchiveUpdate&) = delete;
    ArchiveUpdate& operator=(const ArchiveUpdate&) = delete;

    const std::string& Path() const { return path_; }
    // A link (or anything that is not a file of ours) in the archive's place:
    // it stays as it is, and what it leads to too; nothing is recorded.
    bool LeftAlone() const { return leftAlone_; }
    // Appends `item` unless the archive has its enclosure already (a new
    // archive is not searched: every item counts as unrecorded).
    void Record(const FeedItem& item);
    // Writes what was appended and tells the memo how the archive was left.
    void Save();

private:
    ArchiveMemo& memo_;
    const std::string path_;
    const uint64_t links_;
    const bool recorded_; // the memo says there is nothing to append
    FeedArchive archive_;
    bool leftAlone_ = false;
};

} // namespace tessarine
