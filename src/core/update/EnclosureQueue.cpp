#include "core/update/EnclosureQueue.h"

#include "core/feeds/EnclosureNames.h"
#include "core/files/BaseDirectory.h"

namespace tessarine {

bool EnclosureQueue::Add(const std::string& base, const SubscriptionPtr& subscription,
                         const std::string& url, const std::string& folder, std::string fileName,
                         const std::unordered_set<std::string>* present, int64_t announcedSize,
                         EpisodeRef episode, bool replace) {
    if (fileName.empty())
        fileName = EnclosureNames({url}).NameOf(url);
    if (!replace && ((present != nullptr && present->contains(fileName)) ||
                     PathExists(FeedFilePath(base, folder, fileName))))
        return false;
    const std::optional<SharedModel::QueuedRow> queued =
        model_.QueueDownload(url, folder, fileName, std::move(episode), subscription);
    if (!queued)
        return false;
    events_.DownloadQueued({queued->row, folder, fileName, url, announcedSize});
    return true;
}

} // namespace tessarine
