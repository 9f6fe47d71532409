#include "core/store/EpisodeLedger.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/EpisodeFileName.h"
#include "core/feeds/EpisodeKey.h"
#include "core/feeds/FeedArchive.h"
#include "core/feeds/FeedDate.h"
#include "core/files/BaseDirectory.h"
#include "core/files/File.h"
#include "core/store/LedgerText.h"

#include <sqlite3.h>

#include <algorithm>
#include <numeric>

namespace tessarine {

// ---- Opening ----

EpisodeLedger::Opening EpisodeLedger::Open(const std::string& base,
                                           const std::vector<Listed>& listed, std::time_t now) {
    std::lock_guard lock(mutex_);
    WriteCheckResults();
    store_.Close();
    base_ = base;
    Opening opening;
    opening.result = store_.Open(base);
    if (opening.result == EpisodeStore::OpenResult::Unreadable) {
        // Its bytes are kept for whoever wants to look at them; the new store
        // is built from what the folders hold.
        opening.keptCopy = KeepUnreadableStore(base + kEpisodeStoreFileName);
        opening.error = store_.Error();
        if (!opening.keptCopy.empty()) {
            opening.rebuilt = true;
            opening.result = store_.Open(base);
        }
    }
    if (opening.result != EpisodeStore::OpenResult::Opened) {
        if (!opening.rebuilt)
            opening.error = store_.Error();
        store_.Close();
        return opening;
    }
    if (store_.FoundVersion() == 0)
        Fill(listed, now);
    else
        for (const Listed& l : listed)
            EnsurePodcast(l.url, l.folder, true);
    return opening;
}

void EpisodeLedger::Close() {
    std::lock_guard lock(mutex_);
    WriteCheckResults();
    store_.Close();
}

bool EpisodeLedger::IsOpen() const {
    std::lock_guard lock(mutex_);
    return store_.IsOpen();
}

void EpisodeLedger::Fill(const std::vector<Listed>& listed, std::time_t now) {
    // A base directory from before the store: what its archives recorded,
    // with the files that are there, so that the first check fetches what
    // the plain rule would and nothing else.
    Transaction transaction(store_.Db());
    for (const Listed& l : listed) {
        const int64_t podcast = EnsurePodcast(l.url, l.folder, true);
        if (podcast == 0)
            continue;
        FeedArchive archive;
        archive.Open(FeedFilePath(base_, l.folder, kArchiveFileName));
        const std::vector<FeedArchive::Entry> entries = archive.Entries();
        std::vector<std::string> links;
        for (const FeedArchive::Entry& e : entries)
            links.push_back(e.link);
        const EnclosureNames names(links);
        for (const FeedArchive::Entry& e : entries) {
            FeedItem item;
            item.enclosureUrl = e.link;
            item.title = e.title;
            item.pubDate = e.pubDate;
            StoredEpisode episode;
            episode.key = EpisodeKey(item);
            episode.url = e.link;
            episode.title = TrimWhiteSpace(e.title);
            episode.date = StoredDate(e.pubDate);
            episode.firstSeen = now;
            const std::string name = names.NameOf(e.link);
            if (!name.empty() &&
                KindAt(FeedFilePath(base_, l.folder, name), false) == EntryKind::Regular) {
                episode.state = EpisodeState::Downloaded;
                episode.file = StoredPath(l.folder, name);
                if (const auto stamp = FileStamp::Of(FeedFilePath(base_, l.folder, name)))
                    episode.size = stamp->size;
            }
            store_.PutEpisode(podcast, episode);
        }
    }
    transaction.Commit();
}

int64_t EpisodeLedger::PodcastId(const std::string& url) {
    Statement find(store_.Db(), "SELECT id FROM podcast WHERE url = ?1");
    return find.Bind(1, url).Step() ? find.Int(0) : 0;
}

int64_t EpisodeLedger::EnsurePodcast(const std::string& url, const std::string& folder,
                                     bool checked) {
    int64_t id = 0;
    store_.Podcast(url, folder, id, checked);
    return id;
}

// ---- Subscriptions ----

void EpisodeLedger::Subscribed(const std::string& base, const std::string& url) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return;
    // Subscribing again to a podcast the store still knows starts afresh
    // only for what on-subscribe means: its first check is the next one.
    if (PodcastId(url) == 0)
        EnsurePodcast(url, std::string(), false);
}

void EpisodeLedger::Readdressed(const std::string& base, const std::string& from,
                                const std::string& to) {
    std::lock_guard lock(mutex_);
    if (!For(base) || PodcastId(to) != 0)
        return;
    Statement move(store_.Db(), "UPDATE podcast SET url = ?2 WHERE url = ?1");
    move.Bind(1, from).Bind(2, to).Run();
}

// ---- Options ----

SettingValues EpisodeLedger::ValuesOf(int64_t podcast) {
    SettingValues values;
    Statement read(store_.Db(), "SELECT key, value FROM setting WHERE podcast_id IS ?1");
    if (podcast == 0)
        read.BindNull(1);
    else
        read.Bind(1, podcast);
    while (read.Step())
        values[read.Text(0)] = read.Text(1);
    return values;
}

std::unordered_set<std::string> EpisodeLedger::Paused(const std::string& base,
                                                      const std::vector<std::string>& urls) {
    std::lock_guard lock(mutex_);
    std::unordered_set<std::string> paused;
    if (!For(base))
        return paused;
    // Two queries for the whole list (the window asks on its own thread):
    // the default, and the podcasts that set "paused" themselves.
    const SettingValues defaults = ValuesOf(0);
    const bool byDefault = ResolveSettings(defaults, {}).paused;
    std::unordered_map<std::string, bool> own;
    Statement read(store_.Db(), "SELECT p.url, s.value FROM setting s JOIN podcast p"
                                " ON p.id = s.podcast_id WHERE s.key = 'paused'");
    while (read.Step())
        own[read.Text(0)] = ResolveSettings(defaults, {{"paused", read.Text(1)}}).paused;
    for (const std::string& url : urls) {
        const auto found = own.find(url);
        if (found != own.end() ? found->second : byDefault)
            paused.insert(url);
    }
    return paused;
}

bool EpisodeLedger::Values(const std::string& base, const std::string& url, SettingValues& values) {
    std::lock_guard lock(mutex_);
    values.clear();
    if (!For(base))
        return false;
    if (url.empty()) {
        values = ValuesOf(0);
        return true;
    }
    const int64_t podcast = PodcastId(url);
    if (podcast != 0)
        values = ValuesOf(podcast);
    return true;
}

DbError EpisodeLedger::Change(const std::string& base, const std::string& url,
                              const SettingValues& values) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return {SQLITE_MISUSE, "no episode store"};
    EndBatch();
    Transaction transaction(store_.Db());
    if (DbError failed = transaction.Error())
        return failed;
    int64_t podcast = 0;
    if (!url.empty() && (podcast = EnsurePodcast(url, std::string(), true)) == 0)
        return store_.Db().LastError();
    for (const auto& [key, value] : values) {
        Statement clear(store_.Db(), "DELETE FROM setting WHERE podcast_id IS ?1 AND key = ?2");
        if (podcast == 0)
            clear.BindNull(1);
        else
            clear.Bind(1, podcast);
        if (DbError failed = clear.Bind(2, key).Run())
            return failed;
        if (value.empty())
            continue;
        Statement set(store_.Db(),
                      "INSERT INTO setting (podcast_id, key, value) VALUES (?1, ?2, ?3)");
        if (podcast == 0)
            set.BindNull(1);
        else
            set.Bind(1, podcast);
        if (DbError failed = set.Bind(2, key).Bind(3, value).Run())
            return failed;
    }
    return transaction.Commit();
}

// ---- Moves ----

bool EpisodeLedger::MovedAwayFrom(const std::string& base, const std::string& to) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return false;
    // Whichever podcast moved away from it: a feed that still names an
    // address it left (or redirects there) never draws a podcast back.
    Statement find(store_.Db(), "SELECT 1 FROM podcast_url_history WHERE url = ?1");
    return find.Bind(1, to).Step();
}

EpisodeLedger::Move EpisodeLedger::MoveTo(const std::string& base, const std::string& from,
                                          const std::string& to, std::time_t now, bool byHand) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return Move::NoStore;
    Database& db = store_.Db();
    const int64_t podcast = PodcastId(from);
    if (podcast == 0)
        return Move::Failed;
    if (!byHand) {
        Statement back(db, "SELECT 1 FROM podcast_url_history WHERE url = ?1");
        if (back.Bind(1, to).Step())
            return Move::MovedAwayFrom;
    }
    EndBatch();
    Transaction transaction(db);
    if (byHand) {
        Statement forget(db, "DELETE FROM podcast_url_history WHERE url = ?1");
        if (forget.Bind(1, to).Run())
            return Move::Failed;
    }
    // A podcast the store met at the new address before (subscribed once,
    // since removed) gives way: the moving one keeps its episodes.
    Statement stale(db, "DELETE FROM podcast WHERE url = ?1 AND id <> ?2");
    Statement history(db, "INSERT INTO podcast_url_history (podcast_id, url, moved_at)"
                          " VALUES (?1, ?2, ?3) ON CONFLICT DO NOTHING");
    Statement move(db, "UPDATE podcast SET url = ?2, move_told = '' WHERE id = ?1");
    if (stale.Bind(1, to).Bind(2, podcast).Run() ||
        history.Bind(1, podcast).Bind(2, from).Bind(3, static_cast<int64_t>(now)).Run() ||
        move.Bind(1, podcast).Bind(2, to).Run() || transaction.Commit())
        return Move::Failed;
    return Move::Moved;
}

bool EpisodeLedger::TellMoveOnce(const std::string& base, const std::string& url,
                                 const std::string& to) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return false;
    Statement told(store_.Db(), "UPDATE podcast SET move_told = ?2 WHERE url = ?1"
                                " AND move_told <> ?2");
    told.Bind(1, url).Bind(2, to).Run();
    return store_.Db().Changes() > 0;
}

// ---- Downloads ----

EpisodeLedger::Want EpisodeLedger::Wanted(const std::string& base, int64_t podcast,
                                          const std::string& key) {
    std::lock_guard lock(mutex_);
    if (!For(base) || podcast == 0)
        return Want::Fetch;
    Statement read(store_.Db(),
                   "SELECT state, again FROM episode WHERE podcast_id = ?1 AND key = ?2");
    if (!read.Bind(1, podcast).Bind(2, key).Step())
        return Want::Fetch;
    EpisodeState state = EpisodeState::New;
    ParseEpisodeState(read.Text(0), state);
    if (read.Int(1) != 0)
        return Want::Replace;
    switch (state) {
    case EpisodeState::Removed:
    case EpisodeState::Skipped:
        return Want::Skip;
    case EpisodeState::Deleted:
        return ResolveSettings(ValuesOf(0), ValuesOf(podcast)).refetchDeleted ? Want::Fetch
                                                                              : Want::Skip;
    default:
        return Want::Fetch;
    }
}

void EpisodeLedger::Downloaded(const std::string& base, int64_t podcast, const std::string& key,
                               const std::string& file) {
    std::lock_guard lock(mutex_);
    if (!For(base) || podcast == 0)
        return;
    // The size is the file's now; what the feed announced may differ.
    const std::optional<FileStamp> stamp = FileStamp::Of(FeedFilePath(base_, std::string(), file));
    Statement done(store_.Db(),
                   "UPDATE episode SET state = 'downloaded', file = ?3, again = 0,"
                   " attempts = 0, reason = '', size = CASE WHEN ?4 >= 0 THEN ?4 ELSE size END"
                   " WHERE podcast_id = ?1 AND key = ?2");
    done.Bind(1, podcast).Bind(2, key).Bind(3, file).Bind(4, stamp ? stamp->size : -1).Run();
}

void EpisodeLedger::Failed(const std::string& base, int64_t podcast, const std::string& key,
                           const std::string& reason) {
    std::lock_guard lock(mutex_);
    if (!For(base) || podcast == 0)
        return;
    store_.SetState(podcast, key, EpisodeState::Failed, std::string(), reason);
}

// ---- Listing and requests ----

bool EpisodeLedger::Episodes(const std::string& base, const std::string& url,
                             std::vector<StoredEpisode>& episodes) {
    std::lock_guard lock(mutex_);
    episodes.clear();
    if (!For(base))
        return false;
    const int64_t podcast = PodcastId(url);
    return podcast == 0 || !store_.Episodes(podcast, episodes);
}

EpisodeLedger::Again EpisodeLedger::DownloadAgain(const std::string& base, const std::string& url,
                                                  const std::string& episode) {
    std::lock_guard lock(mutex_);
    if (!For(base))
        return Again::NoStore;
    const int64_t podcast = PodcastId(url);
    std::vector<StoredEpisode> episodes;
    if (podcast == 0 || store_.Episodes(podcast, episodes))
        return podcast == 0 ? Again::UnknownEpisode : Again::Failed;
    // The guid, the file's name and the title, in that order: the first of
    // these that names exactly one episode.
    const auto named = [&](auto matches) -> const StoredEpisode* {
        const StoredEpisode* found = nullptr;
        for (const StoredEpisode& e : episodes)
            if (matches(e)) {
                if (found != nullptr)
                    return nullptr;
                found = &e;
            }
        return found;
    };
    const StoredEpisode* found =
        named([&](const StoredEpisode& e) { return !e.guid.empty() && e.guid == episode; });
    if (found == nullptr)
        found = named([&](const StoredEpisode& e) {
            return !e.file.empty() && (StoredName(e.file) == episode || e.file == episode);
        });
    if (found == nullptr)
        found =
            named([&](const StoredEpisode& e) { return !e.title.empty() && e.title == episode; });
    if (found == nullptr)
        return Again::UnknownEpisode;
    Statement again(store_.Db(), "UPDATE episode SET again = 1 WHERE podcast_id = ?1 AND key = ?2");
    return again.Bind(1, podcast).Bind(2, found->key).Run() ? Again::Failed : Again::Marked;
}

// ---- Clean-up ----

bool EpisodeLedger::CleanUp(const std::string& base, const std::vector<std::string>& urls,
                            std::time_t now, bool dryRun, std::vector<Removal>& removals) {
    std::lock_guard lock(mutex_);
    removals.clear();
    if (!For(base))
        return false;
    const SettingValues defaults = ValuesOf(0);
    bool sound = true;
    for (const std::string& url : urls) {
        const int64_t podcast = PodcastId(url);
        if (podcast == 0)
            continue;
        const PodcastSettings settings = ResolveSettings(defaults, ValuesOf(podcast));
        if (settings.KeepsAll())
            continue;
        std::vector<StoredEpisode> episodes;
        if (store_.Episodes(podcast, episodes)) {
            sound = false;
            continue;
        }
        int64_t kept = 0;
        std::unordered_set<std::string> downloaded;
        for (const StoredEpisode& e : episodes)
            if (e.state == EpisodeState::Downloaded)
                downloaded.insert(e.file);
        for (const StoredEpisode& e : episodes) {
            const std::string path = FeedFilePath(base_, std::string(), e.file);
            if (e.state == EpisodeState::Removed && !e.file.empty() &&
                !downloaded.contains(e.file) && KindAt(path, false) == EntryKind::Regular) {
                // A removal that a killed program recorded but did not get
                // to: its file goes now, unless another episode's download
                // has that name since.
                removals.push_back({url, e.title, e.file});
                if (!dryRun && !RemoveEntry(path)) {
                    removals.pop_back();
                    sound = false;
                }
                continue;
            }
            if (e.state != EpisodeState::Downloaded || e.file.empty())
                continue;
            const std::optional<std::time_t> at = EpisodeMoment(e.date);
            const bool tooMany = settings.keep >= 0 && kept >= settings.keep;
            const bool tooOld =
                settings.keepDays >= 0 && at && *at < now - settings.keepDays * kSecondsPerDay;
            if (!tooMany && !tooOld) {
                ++kept;
                continue;
            }
            removals.push_back({url, e.title, e.file});
            if (dryRun)
                continue;
            // Recorded before the file goes: a program killed in between
            // leaves a removed episode whose file is still there, never a
            // downloaded one without its file.
            if (store_.SetState(podcast, e.key, EpisodeState::Removed)) {
                removals.pop_back();
                sound = false;
                continue;
            }
            // Only the file the program wrote: a regular file (a link or a
            // folder put there since is left as it is).
            if (KindAt(path, false) == EntryKind::Regular && !RemoveEntry(path)) {
                store_.SetState(podcast, e.key, EpisodeState::Downloaded);
                removals.pop_back();
                sound = false;
            }
        }
    }
    return sound;
}

} // namespace tessarine
