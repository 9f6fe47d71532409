#include "core/store/EpisodeLedger.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/EpisodeFileName.h"
#include "core/feeds/EpisodeKey.h"
#include "core/files/BaseDirectory.h"
#include "core/files/File.h"
#include "core/store/LedgerText.h"
#include "core/util/Text.h"

#include <algorithm>
#include <numeric>

namespace tessarine {

EpisodeLedger::FeedStep::FeedStep(EpisodeLedger& ledger, const std::string& base,
                                  const std::string& url, const std::string& folder,
                                  const std::string& podcast, std::time_t now)
    : ledger_(ledger), base_(base), url_(url), folder_(folder), podcastName_(podcast), now_(now) {
    std::lock_guard lock(ledger_.mutex_);
    if (!ledger_.For(base))
        return;
    EpisodeStore& store = ledger_.store_;
    {
        Statement find(store.Db(), "SELECT id, folder, checked FROM podcast WHERE url = ?1");
        if (find.Bind(1, url).Step()) {
            podcast_ = find.Int(0);
            knownFolder_ = find.Text(1);
            subscribing_ = find.Int(2) == 0;
        }
    }
    if (podcast_ == 0 && (podcast_ = ledger_.EnsurePodcast(url, folder, true)) == 0)
        return;
    settings_ = ResolveSettings(ledger_.ValuesOf(0), ledger_.ValuesOf(podcast_));
    std::vector<StoredEpisode> episodes;
    if (store.Episodes(podcast_, episodes))
        return;
    for (StoredEpisode& e : episodes) {
        if (!e.file.empty())
            takenNames_.insert(LowerAscii(StoredName(e.file)));
        std::string key = e.key;
        stored_.emplace(std::move(key), std::move(e));
    }
    active_ = true;
}

void EpisodeLedger::FeedStep::FolderRenamed(const std::string& from, const std::string& to) {
    const std::string prefix = from + '/';
    for (auto& [key, e] : stored_)
        if (e.file.starts_with(prefix))
            e.file = to + '/' + e.file.substr(prefix.size());
    knownFolder_ = to;
    std::lock_guard lock(ledger_.mutex_);
    if (!ledger_.For(base_))
        return;
    Database& db = ledger_.store_.Db();
    ledger_.EndBatch();
    Transaction transaction(db);
    Statement files(db, "UPDATE episode SET file = ?3 || substr(file, length(?2) + 1)"
                        " WHERE podcast_id = ?1 AND substr(file, 1, length(?2)) = ?2");
    Statement folder(db, "UPDATE podcast SET folder = ?2 WHERE id = ?1");
    if (!files.Bind(1, podcast_).Bind(2, prefix).Bind(3, to + '/').Run() &&
        !folder.Bind(1, podcast_).Bind(2, to).Run())
        transaction.Commit();
}

void EpisodeLedger::FeedStep::Rank(const std::vector<const FeedItem*>& feedItems) {
    items_.clear();
    items_.resize(feedItems.size());
    std::vector<std::optional<std::time_t>> moments(feedItems.size());
    // A guid that several items of the feed share (feeds that give every
    // item the same one exist) names none of them: such items are told
    // apart by their URLs, as items without a guid are.
    std::unordered_map<std::string, size_t> keyCounts;
    std::vector<std::string> keys;
    keys.reserve(feedItems.size());
    for (const FeedItem* f : feedItems) {
        std::string key = EpisodeKey(*f);
        ++keyCounts[key];
        keys.push_back(std::move(key));
    }
    FeedItem withoutGuid;
    for (size_t i = 0; i < feedItems.size(); ++i) {
        const bool shared = !feedItems[i]->guid.empty() && keyCounts[keys[i]] > 1;
        if (shared) {
            withoutGuid = *feedItems[i];
            withoutGuid.guid.clear();
        }
        const FeedItem& f = shared ? withoutGuid : *feedItems[i];
        Item& item = items_[i];
        item.key = shared ? EpisodeKey(f) : std::move(keys[i]);
        auto found = stored_.find(item.key);
        if (found == stored_.end() && !f.guid.empty()) {
            // Known from before it had a guid (an archive's entry, a feed
            // that added guids later): the same episode by its URL.
            FeedItem byUrl = f;
            byUrl.guid.clear();
            found = stored_.find(EpisodeKey(byUrl));
            if (found != stored_.end() && !found->second.guid.empty())
                found = stored_.end(); // another episode with a guid of its own
        }
        if (found != stored_.end()) {
            item.episode = found->second;
            item.known = true;
            if (item.episode.key != item.key) {
                // Re-keyed by its guid when saved; no other item takes it.
                item.changed = true;
                stored_.erase(found);
            }
        } else {
            item.episode.state = EpisodeState::New;
            item.episode.firstSeen = now_;
            item.changed = true;
        }
        StoredEpisode& e = item.episode;
        const std::string url = f.enclosureUrl.empty() ? f.mediaUrl : f.enclosureUrl;
        const std::string title = TrimWhiteSpace(f.title);
        const std::string date = StoredDate(f.pubDate);
        if (e.guid != f.guid || e.url != url || e.title != title ||
            (!date.empty() && e.date != date)) {
            // What the feed says of it now; the new URL serves its next download.
            e.guid = f.guid;
            e.url = url;
            e.title = title;
            if (!date.empty())
                e.date = date;
            item.changed = true;
        }
        // A running time the feed stops giving stays known; the announced
        // length counts until the file is there to tell its own.
        if (f.duration > 0 && e.duration != f.duration) {
            e.duration = f.duration;
            item.changed = true;
        }
        if (f.enclosureLength > 0 && e.state != EpisodeState::Downloaded &&
            e.size != f.enclosureLength) {
            e.size = f.enclosureLength;
            item.changed = true;
        }
        moments[i] = ParseFeedDate(f.pubDate);
    }

    // Newest first: by date, items without one after those with one, each
    // in the feed's order.
    std::vector<size_t> order(items_.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        if (moments[a].has_value() != moments[b].has_value())
            return moments[a].has_value();
        return moments[a] && *moments[a] > *moments[b];
    });
    for (size_t rank = 0; rank < order.size(); ++rank) {
        Item& item = items_[order[rank]];
        const std::optional<std::time_t>& at = moments[order[rank]];
        if (subscribing_ && settings_.onSubscribe >= 0 &&
            rank >= static_cast<size_t>(settings_.onSubscribe))
            item.skip = true;
        if (settings_.keep >= 0 && rank >= static_cast<size_t>(settings_.keep))
            item.eligible = false;
        if (settings_.keepDays >= 0 && at && *at < now_ - settings_.keepDays * kSecondsPerDay)
            item.eligible = false;
    }
}

std::string EpisodeLedger::FeedStep::PatternName(const Item& item, const std::string& urlName) {
    std::string name = PatternFileName(
        settings_.names,
        NamePartsOf(item.episode, podcastName_,
                    urlName.empty() ? FileNameFromUrl(item.episode.url) : urlName));
    // Two episodes of one name (the same title on the same day), or a name
    // the program keeps for itself, are told apart by a tag of the episode.
    if (EnclosureNames::IsReserved(name) || takenNames_.contains(LowerAscii(name)))
        name = EnclosureNames::Tagged(name, EnclosureNames::Tag(item.key, 8));
    return name;
}

void EpisodeLedger::FeedStep::SetState(Item& item, EpisodeState state, const std::string& file) {
    if (item.episode.state == state && (file.empty() || item.episode.file == file))
        return;
    item.episode.state = state;
    if (!file.empty())
        item.episode.file = file;
    item.changed = true;
}

EpisodeLedger::Plan EpisodeLedger::FeedStep::Decide(size_t index, const std::string& urlName,
                                                    const std::unordered_set<std::string>& listed) {
    Item& item = items_[index];
    StoredEpisode& e = item.episode;
    Plan plan;
    const auto fetch = [&](bool replace) {
        plan.action = Plan::Action::Fetch;
        plan.replace = replace;
        // A file the store knows keeps its name; a new one is named by the
        // podcast's rule.
        if (!e.file.empty() && e.file == StoredPath(folder_, StoredName(e.file)))
            plan.fileName = StoredName(e.file);
        else
            plan.fileName = settings_.names.empty() ? urlName : PatternName(item, urlName);
        if (!plan.fileName.empty())
            takenNames_.insert(LowerAscii(plan.fileName));
        return plan;
    };
    const auto leave = [&] {
        plan.action = Plan::Action::Leave;
        return plan;
    };
    // A file of the podcast's folder is looked for in its listing; one left
    // in another folder (a title change that could not move it) on disk.
    const bool inFolder = !e.file.empty() && e.file == StoredPath(folder_, StoredName(e.file));
    const bool fileThere =
        inFolder ? listed.contains(StoredName(e.file))
                 : !e.file.empty() && KindAt(FeedFilePath(base_, std::string(), e.file), false) ==
                                          EntryKind::Regular;

    if (e.again)
        return fetch(fileThere);
    if (!item.known) {
        if (item.skip) {
            SetState(item, EpisodeState::Skipped);
            return leave();
        }
        return item.eligible ? fetch(false) : leave();
    }
    switch (e.state) {
    case EpisodeState::Downloaded:
        if (fileThere) {
            plan.action = Plan::Action::Have;
            plan.fileName = e.file;
            return plan;
        }
        if (!settings_.refetchDeleted) {
            SetState(item, EpisodeState::Deleted);
            return leave();
        }
        return item.eligible ? fetch(false) : leave();
    case EpisodeState::Deleted:
        return settings_.refetchDeleted && item.eligible ? fetch(false) : leave();
    case EpisodeState::Removed:
    case EpisodeState::Skipped:
        return leave();
    case EpisodeState::New:
    case EpisodeState::Queued:
    case EpisodeState::Failed:
        break;
    }
    return item.eligible ? fetch(false) : leave();
}

void EpisodeLedger::FeedStep::Queued(size_t index) {
    Item& item = items_[index];
    if (item.episode.state != EpisodeState::Failed)
        SetState(item, EpisodeState::Queued);
}

void EpisodeLedger::FeedStep::Present(size_t index, const std::string& fileName) {
    Item& item = items_[index];
    const bool wasDownloaded = item.episode.state == EpisodeState::Downloaded;
    SetState(item, EpisodeState::Downloaded, StoredPath(folder_, fileName));
    // Only a file met now for the first time is looked at for its size.
    if (!wasDownloaded || item.episode.size < 0)
        if (const auto stamp = FileStamp::Of(FeedFilePath(base_, std::string(), item.episode.file));
            stamp && stamp->size != item.episode.size) {
            item.episode.size = stamp->size;
            item.changed = true;
        }
    if (item.episode.again) {
        item.episode.again = false;
        item.changed = true;
    }
}

DbError EpisodeLedger::FeedStep::Save() {
    std::lock_guard lock(ledger_.mutex_);
    if (!active_ || !ledger_.For(base_))
        return {};
    Database& db = ledger_.store_.Db();
    const bool anyChanged =
        subscribing_ || knownFolder_ != folder_ ||
        std::any_of(items_.begin(), items_.end(), [](const Item& i) { return i.changed; });
    if (!anyChanged)
        return {};
    // Written in the walk's batch; a feed whose writes fail leaves none of
    // them in it.
    ledger_.BeginBatch(now_);
    if (DbError failed = db.Execute("SAVEPOINT feed"))
        return failed;
    DbError failed = SaveItems(db);
    db.Execute(failed ? "ROLLBACK TO feed; RELEASE feed" : "RELEASE feed");
    if (!failed && (now_ - ledger_.batchSince_ >= 1 || now_ < ledger_.batchSince_))
        ledger_.WriteCheckResults();
    return failed;
}

DbError EpisodeLedger::FeedStep::SaveItems(Database& db) {
    for (const Item& item : items_) {
        if (!item.changed)
            continue;
        const StoredEpisode& e = item.episode;
        if (item.known && e.key != item.key) {
            Statement rekey(db, "UPDATE episode SET key = ?3 WHERE podcast_id = ?1 AND key = ?2");
            if (DbError failed = rekey.Bind(1, podcast_).Bind(2, e.key).Bind(3, item.key).Run())
                return failed;
        }
        StoredEpisode stored = e;
        stored.key = item.key;
        if (DbError failed = ledger_.store_.PutEpisode(podcast_, stored, true))
            return failed;
    }
    Statement podcast(db, "UPDATE podcast SET checked = 1, folder = ?2 WHERE id = ?1");
    return podcast.Bind(1, podcast_).Bind(2, folder_).Run();
}

} // namespace tessarine
