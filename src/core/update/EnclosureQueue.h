#pragma once
// Adding enclosures to the download queue: an entry and its row for each
// whose file is not in its feed's folder yet, told as queued. A download of
// the same file that failed or was cancelled and is still listed waits again
// in its own row instead, told as queued once more.

#include "core/model/LibraryEvents.h"
#include "core/model/SharedModel.h"

#include <cstdint>
#include <string>
#include <unordered_set>

namespace tessarine {

class EnclosureQueue {
public:
    EnclosureQueue(SharedModel& model, LibraryEvents& events) : model_(model), events_(events) {}

    // Queues `url` under `fileName` in the folder of `folder` below `base`
    // for the check of `subscription` unless that file exists; true when it
    // added an entry and row or queued a listed one again. Without a
    // file name, the name the URL gives on its own (EnclosureNames).
    // `present`: names known to be in the folder (listed at the start of the
    // feed's step); a name missing there is still looked for on disk.
    // `announcedSize`: what the feed announced, -1 when nothing. `episode`:
    // the stored episode it is of; with `replace` it is queued even though
    // its file is there (downloaded again on request).
    bool Add(const std::string& base, const SubscriptionPtr& subscription, const std::string& url,
             const std::string& folder, std::string fileName,
             const std::unordered_set<std::string>* present = nullptr, int64_t announcedSize = -1,
             EpisodeRef episode = {}, bool replace = false);

private:
    SharedModel& model_;
    LibraryEvents& events_;
};

} // namespace tessarine
