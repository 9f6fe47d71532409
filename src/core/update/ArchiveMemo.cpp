#include "core/update/ArchiveMemo.h"

#include "core/store/EpisodeLedger.h"
#include "core/util/Fnv1a.h"

#include <optional>
#include <string_view>

namespace tessarine {

uint64_t ArchiveMemo::LinksHash(const std::vector<std::string>& urls) {
    uint64_t hash = kFnv1aStart;
    for (const std::string& url : urls) {
        char size[8];
        for (size_t left = url.size(), i = 0; i < 8; ++i, left >>= 8)
            size[i] = static_cast<char>(left & 0xff);
        hash = Fnv1a(std::string_view(size, sizeof size), Fnv1a(url, hash));
    }
    return hash;
}

bool ArchiveMemo::Recorded(const std::string& path, uint64_t links) const {
    auto entry = entries_.find(path);
    if (entry == entries_.end()) {
        Entry stored;
        if (ledger_ == nullptr || !ledger_->RecordedArchive(path, stored.stamp, stored.links))
            return false;
        entry = entries_.emplace(path, stored).first;
    }
    const std::optional<FileStamp> stamp = FileStamp::Of(path);
    return stamp && entry->second.stamp == *stamp && entry->second.links == links;
}

void ArchiveMemo::Remember(const std::string& path, uint64_t links, bool current) {
    const std::optional<FileStamp> after = current ? FileStamp::Of(path) : std::nullopt;
    const auto known = entries_.find(path);
    if (after && known != entries_.end() && known->second.stamp == *after &&
        known->second.links == links)
        return; // as it was: nothing to write
    if (ledger_ != nullptr)
        ledger_->RememberArchive(path, after.value_or(FileStamp{}), links, after.has_value());
    if (after)
        entries_[path] = Entry{*after, links};
    else
        entries_.erase(path);
}

} // namespace tessarine
