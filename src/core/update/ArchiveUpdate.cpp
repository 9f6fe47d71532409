#include "core/update/ArchiveUpdate.h"

namespace tessarine {

ArchiveUpdate::ArchiveUpdate(ArchiveMemo& memo, std::string path,
                             const std::vector<std::string>& enclosureUrls)
    : memo_(memo), path_(std::move(path)), links_(ArchiveMemo::LinksHash(enclosureUrls)),
      recorded_(memo_.Recorded(path_, links_)) {
    if (!recorded_) {
        archive_.Open(path_);
        leftAlone_ = archive_.LeftAlone();
    }
}

void ArchiveUpdate::Record(const FeedItem& item) {
    if (!recorded_ && !leftAlone_ && (archive_.IsNew() || !archive_.Lookup(item.enclosureUrl)))
        archive_.Append(item.title, item.description, item.enclosureUrl, item.pubDate);
}

void ArchiveUpdate::Save() {
    if (recorded_)
        return;
    const bool saved = archive_.Save(path_);
    memo_.Remember(path_, links_, saved || !archive_.Appended());
}

} // namespace tessarine
