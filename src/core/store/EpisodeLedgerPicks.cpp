// The episode list's requests on episodes the user picked.
#include "core/store/EpisodeLedger.h"

#include "core/files/BaseDirectory.h"
#include "core/files/File.h"

namespace tessarine {

std::optional<size_t> EpisodeLedger::PickEpisodes(const std::string& base, const std::string& url,
                                                  Pick pick, const std::vector<std::string>& keys) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return std::nullopt;
    const int64_t podcast = PodcastId(url);
    if (podcast == 0)
        return size_t{0};
    EndBatch();
    Database& db = store_.Db();
    Statement read(db, "SELECT state, file FROM episode WHERE podcast_id = ?1 AND key = ?2");
    Statement deleted(db, "UPDATE episode SET state = 'deleted', again = 0"
                          " WHERE podcast_id = ?1 AND key = ?2");
    Statement skipped(db, "UPDATE episode SET state = 'skipped', again = 0"
                          " WHERE podcast_id = ?1 AND key = ?2");
    Statement again(db, "UPDATE episode SET again = 1 WHERE podcast_id = ?1 AND key = ?2");
    size_t changed = 0;
    for (const std::string& key : keys) {
        read.Reset();
        if (!read.Bind(1, podcast).Bind(2, key).Step()) {
            if (read.Error())
                return std::nullopt;
            continue;
        }
        EpisodeState state = EpisodeState::New;
        ParseEpisodeState(read.Text(0), state);
        const std::string file = read.Text(1);
        Statement* update = nullptr;
        switch (pick) {
        case Pick::DeleteFile:
            if (state == EpisodeState::Downloaded)
                update = &deleted;
            break;
        case Pick::NotWanted:
            if (state != EpisodeState::Downloaded)
                update = &skipped;
            break;
        case Pick::Again:
            update = &again;
            break;
        }
        if (update == nullptr)
            continue;
        update->Reset();
        if (update->Bind(1, podcast).Bind(2, key).Run())
            return std::nullopt;
        ++changed;
        if (pick != Pick::DeleteFile || file.empty())
            continue;
        // Only the file the program wrote: a link or a folder put in its
        // place is left as it is.
        const std::string path = FeedFilePath(base_, std::string(), file);
        if (KindAt(path, false) == EntryKind::Regular && !RemoveEntry(path)) {
            store_.SetState(podcast, key, EpisodeState::Downloaded);
            --changed;
        }
    }
    return changed;
}

std::optional<std::string> EpisodeLedger::EpisodeFile(const std::string& base,
                                                      const std::string& url,
                                                      const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return std::nullopt;
    Statement read(store_.Db(), "SELECT e.file FROM episode e JOIN podcast p ON p.id = e.podcast_id"
                                " WHERE p.url = ?1 AND e.key = ?2");
    if (!read.Bind(1, url).Bind(2, key).Step() || read.Text(0).empty())
        return std::nullopt;
    return FeedFilePath(base_, std::string(), read.Text(0));
}

} // namespace tessarine
