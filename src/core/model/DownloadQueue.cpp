#include "core/model/DownloadQueue.h"

#include "core/files/BaseDirectory.h"

namespace tessarine {

size_t DownloadQueue::Append(const std::string& url, const std::string& folder,
                             const std::string& fileName, EpisodeRef episode) {
    DownloadEntry entry;
    entry.url = url;
    entry.folder = folder;
    entry.fileName = fileName;
    entry.episode = std::move(episode);
    entries_.push_back(std::move(entry));
    return entries_.size() - 1;
}

DownloadEntry* DownloadQueue::At(long long index) {
    if (index < 0 || static_cast<size_t>(index) >= entries_.size())
        return nullptr;
    return &entries_[static_cast<size_t>(index)];
}

const DownloadEntry* DownloadQueue::At(long long index) const {
    return const_cast<DownloadQueue*>(this)->At(index);
}

std::string DownloadTargetPath(const std::string& base, const DownloadEntry& entry) {
    return FeedFilePath(base, entry.folder, entry.fileName);
}

} // namespace tessarine
