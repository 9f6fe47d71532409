#include "core/model/DownloadQueue.h"

#include "core/files/BaseDirectory.h"

namespace tessarine {
namespace {

std::string FileKey(const std::string& folder, const std::string& fileName) {
    return FeedFolderName(folder) + '/' + fileName;
}

bool SameSubscription(const std::weak_ptr<Subscription>& a, const SubscriptionPtr& b) {
    return !a.owner_before(b) && !b.owner_before(a);
}

} // namespace

size_t DownloadQueue::Append(const std::string& url, const std::string& folder,
                             const std::string& fileName, EpisodeRef episode,
                             const SubscriptionPtr& subscription) {
    DownloadEntry entry;
    entry.url = url;
    entry.folder = folder;
    entry.fileName = fileName;
    entry.episode = std::move(episode);
    entry.subscription = subscription;
    entries_.push_back(std::move(entry));
    latest_[FileKey(folder, fileName)] = entries_.size() - 1;
    return entries_.size() - 1;
}

std::optional<size_t> DownloadQueue::Requeue(const std::string& url, const std::string& folder,
                                             const std::string& fileName,
                                             const EpisodeRef& episode) {
    const auto found = latest_.find(FileKey(folder, fileName));
    if (found == latest_.end())
        return std::nullopt;
    DownloadEntry& entry = entries_[found->second];
    if (entry.state != DownloadState::Failed && entry.state != DownloadState::Cancelled)
        return std::nullopt;
    entry.state = DownloadState::Waiting;
    entry.url = url;
    entry.episode = episode;
    return found->second;
}

DownloadEntry* DownloadQueue::At(long long index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size())
        return nullptr;
    return &entries_[static_cast<size_t>(index)];
}

const DownloadEntry* DownloadQueue::At(long long index) const {
    return const_cast<DownloadQueue*>(this)->At(index);
}

std::vector<size_t> DownloadQueue::UnfinishedOf(const SubscriptionPtr& subscription) const {
    std::vector<size_t> rows;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const DownloadEntry& entry = entries_[i];
        if ((entry.state == DownloadState::Waiting || entry.state == DownloadState::Downloading ||
             entry.state == DownloadState::Failed) &&
            subscription && SameSubscription(entry.subscription, subscription))
            rows.push_back(i);
    }
    return rows;
}

std::vector<size_t> DownloadQueue::Finished() const {
    std::vector<size_t> rows;
    for (size_t i = 0; i < entries_.size(); ++i) {
        const DownloadState state = entries_[i].state;
        if (state == DownloadState::Done || state == DownloadState::Failed ||
            state == DownloadState::Cancelled)
            rows.push_back(i);
    }
    return rows;
}

std::string DownloadTargetPath(const std::string& base, const DownloadEntry& entry) {
    return FeedFilePath(base, entry.folder, entry.fileName);
}

} // namespace tessarine
