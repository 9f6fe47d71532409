#include "update/DownloadQueue.h"

namespace tessarine {

size_t DownloadQueue::Append(const std::string& url, const std::string& folder) {
    DownloadEntry entry;
    entry.url = url;
    entry.folder = folder;
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

} // namespace tessarine
