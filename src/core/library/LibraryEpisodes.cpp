// The episode library's side of the library: opening the store of the
// claimed base directory and the operations the front ends call on it.
#include "core/library/PodcastLibrary.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/EpisodeFileName.h"
#include "core/feeds/FeedCache.h"
#include "core/files/BaseDirectory.h"
#include "core/net/FeedAddress.h"
#include "core/store/LedgerText.h"
#include "core/util/Strings.h"
#include "core/util/Text.h"

#include <unordered_map>

namespace tessarine {

void PodcastLibrary::OpenEpisodeStore() {
    episodes_.Close();
    const std::string base = model_.BaseDirectory();
    // Only under the base directory's lock: one program writes the store.
    // Without it, how the checks ended is read from a store that is there.
    if (!HoldsLock() || base != claimed_.Text()) {
        if (auto statuses = EpisodeLedger::PeekCheckStatuses(base)) {
            model_.AdoptCheckStatuses(std::move(*statuses), false);
            model_.AdoptCheckFailures(EpisodeLedger::PeekCheckFailures(base));
        }
        return;
    }
    std::vector<EpisodeLedger::Listed> listed;
    for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions()) {
        // A subscription never checked has no folder yet.
        const bool named = row.values.status != NewlyAdded;
        listed.push_back({row.values.url, named ? FeedFolderName(row.values.name) : std::string()});
    }
    const EpisodeLedger::Opening opened =
        episodes_.Open(base, listed, engine_.Options().clock->CalendarNow());
    const std::string store = claimed_.EpisodeStoreFile();
    switch (opened.result) {
    case EpisodeStore::OpenResult::Opened:
        // The store keeps how the checks ended from now on: a record the
        // cache kept before is taken over, for podcasts it knows nothing of.
        episodes_.AddCheckStatuses(base, model_.CheckStatuses());
        model_.AdoptCheckStatuses(episodes_.CheckStatuses(base), true);
        model_.AdoptCheckFailures(episodes_.CheckFailures(base));
        if (opened.rebuilt)
            events_.MessagePosted({Message::Kind::Error, IDS_STORE_KEPT, {store, opened.keptCopy}});
        return;
    case EpisodeStore::OpenResult::TooNew:
        events_.MessagePosted({Message::Kind::Error, IDS_STORE_TOO_NEW, {store}});
        return;
    case EpisodeStore::OpenResult::Unreadable:
    case EpisodeStore::OpenResult::Failed:
        break;
    }
    events_.MessagePosted({Message::Kind::Error,
                           IDS_STORE_NOT_OPENED,
                           {store, opened.error.message},
                           opened.error.AsFailure()});
}

void PodcastLibrary::RememberSubscribed(const std::string& url,
                                        const std::map<std::string, std::string>& settings) {
    const std::string base = model_.BaseDirectory();
    episodes_.Subscribed(base, url);
    // Options that came with it (from an OPML file): the sound ones are taken.
    SettingValues own;
    for (const auto& [key, value] : settings) {
        std::string normal = value;
        if (NormaliseSetting(key, normal))
            own[key] = normal;
    }
    if (!own.empty())
        episodes_.Change(base, url, own);
}

bool PodcastLibrary::HasEpisodeStore() const {
    return episodes_.IsOpen();
}

SubscriptionPtr PodcastLibrary::FindPodcast(const std::string& podcast) const {
    const std::vector<SubscriptionSnapshot> rows = model_.SnapshotSubscriptions();
    // An address first: the same feed in any spelling.
    const std::string key = FeedAddressKey(TrimWhiteSpace(podcast));
    for (const SubscriptionSnapshot& row : rows)
        if (row.values.url == podcast || FeedAddressKey(row.values.url) == key)
            return row.record;
    // Then a name: exactly, else ignoring case; never one of several.
    const auto only = [&](auto matches) -> SubscriptionPtr {
        SubscriptionPtr found;
        for (const SubscriptionSnapshot& row : rows)
            if (matches(row.values.name)) {
                if (found)
                    return nullptr;
                found = row.record;
            }
        return found;
    };
    if (SubscriptionPtr exact = only([&](const std::string& name) { return name == podcast; }))
        return exact;
    return only([&](const std::string& name) { return SameNameIgnoringCase(name, podcast); });
}

PodcastLibrary::EpisodeQuery PodcastLibrary::EpisodesOf(const SubscriptionPtr& record,
                                                        std::vector<StoredEpisode>& episodes) {
    episodes.clear();
    if (!episodes_.IsOpen())
        return EpisodeQuery::NoStore;
    if (!record)
        return EpisodeQuery::Failed;
    return episodes_.Episodes(model_.BaseDirectory(), model_.Values(record).url, episodes)
               ? EpisodeQuery::Done
               : EpisodeQuery::Failed;
}

PodcastLibrary::EpisodeQuery PodcastLibrary::SettingsOf(const SubscriptionPtr& record,
                                                        std::vector<SettingRow>& rows) {
    rows.clear();
    if (!episodes_.IsOpen())
        return EpisodeQuery::NoStore;
    const std::string base = model_.BaseDirectory();
    SettingValues defaults, own;
    if (!episodes_.Values(base, std::string(), defaults))
        return EpisodeQuery::Failed;
    if (!record) {
        rows = ListSettings({}, defaults, true);
        return EpisodeQuery::Done;
    }
    if (!episodes_.Values(base, model_.Values(record).url, own))
        return EpisodeQuery::Failed;
    rows = ListSettings(defaults, own, false);
    return EpisodeQuery::Done;
}

PodcastLibrary::SettingsResult PodcastLibrary::CheckSettings(SettingValues& values, bool forDefault,
                                                             std::string& problem) {
    for (auto& [key, value] : values) {
        if (!IsSettingKey(key)) {
            problem = key;
            return SettingsResult::UnknownKey;
        }
        if (!forDefault && value == "inherit") {
            value.clear(); // removed: the default holds again
            continue;
        }
        std::string normal = value;
        if (!NormaliseSetting(key, normal)) {
            problem = key + "=" + value;
            return SettingsResult::BadValue;
        }
        value = normal;
    }
    return SettingsResult::Done;
}

PodcastLibrary::SettingsResult
PodcastLibrary::ChangeSettings(const SubscriptionPtr& record,
                               const std::vector<SettingChange>& changes, std::string& problem) {
    problem.clear();
    // Checked before anything is stored: all the changes or none.
    SettingValues values;
    for (const SettingChange& change : changes) {
        SettingValues one{{change.key, change.value}};
        if (const SettingsResult checked = CheckSettings(one, !record, problem);
            checked != SettingsResult::Done)
            return checked;
        values[change.key] = one.begin()->second;
    }
    if (!episodes_.IsOpen())
        return SettingsResult::NoStore;
    const std::string url = record ? model_.Values(record).url : std::string();
    if (episodes_.Change(model_.BaseDirectory(), url, values)) {
        problem.clear();
        return SettingsResult::Failed;
    }
    return SettingsResult::Done;
}

PodcastLibrary::AgainResult PodcastLibrary::DownloadAgain(const SubscriptionPtr& record,
                                                          const std::string& episode) {
    if (!episodes_.IsOpen())
        return AgainResult::NoStore;
    if (!record)
        return AgainResult::UnknownEpisode;
    switch (episodes_.DownloadAgain(model_.BaseDirectory(), model_.Values(record).url, episode)) {
    case EpisodeLedger::Again::Marked:
        return AgainResult::Marked;
    case EpisodeLedger::Again::UnknownEpisode:
        return AgainResult::UnknownEpisode;
    case EpisodeLedger::Again::NoStore:
        return AgainResult::NoStore;
    case EpisodeLedger::Again::Failed:
        break;
    }
    return AgainResult::Failed;
}

PodcastLibrary::EpisodeQuery PodcastLibrary::PickEpisodes(const SubscriptionPtr& record,
                                                          EpisodePick pick,
                                                          const std::vector<std::string>& keys,
                                                          size_t* changed) {
    if (changed != nullptr)
        *changed = 0;
    if (!episodes_.IsOpen())
        return EpisodeQuery::NoStore;
    if (!record)
        return EpisodeQuery::Failed;
    const EpisodeLedger::Pick ledgerPick = pick == EpisodePick::DeleteFile ? EpisodeLedger::Pick::DeleteFile
                                           : pick == EpisodePick::NotWanted
                                               ? EpisodeLedger::Pick::NotWanted
                                               : EpisodeLedger::Pick::Again;
    const std::string url = model_.Values(record).url;
    const std::optional<size_t> done =
        episodes_.PickEpisodes(model_.BaseDirectory(), url, ledgerPick, keys);
    if (!done)
        return EpisodeQuery::Failed;
    if (changed != nullptr)
        *changed = *done;
    if (*done > 0)
        events_.EpisodesChanged(url);
    return EpisodeQuery::Done;
}

std::optional<std::string> PodcastLibrary::EpisodeFile(const SubscriptionPtr& record,
                                                       const std::string& key) const {
    if (!record)
        return std::nullopt;
    return episodes_.EpisodeFile(model_.BaseDirectory(), model_.Values(record).url, key);
}

PodcastLibrary::EpisodeQuery PodcastLibrary::CleanUp(bool dryRun, std::vector<CleanedFile>& files) {
    files.clear();
    if (!episodes_.IsOpen())
        return EpisodeQuery::NoStore;
    std::vector<std::string> urls;
    std::unordered_map<std::string, std::string> names;
    for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions()) {
        urls.push_back(row.values.url);
        names[row.values.url] = row.values.name;
    }
    std::vector<EpisodeLedger::Removal> removals;
    const bool sound = episodes_.CleanUp(model_.BaseDirectory(), urls,
                                         engine_.Options().clock->CalendarNow(), dryRun, removals);
    for (EpisodeLedger::Removal& r : removals)
        files.push_back({names[r.url], std::move(r.title), std::move(r.file)});
    return sound ? EpisodeQuery::Done : EpisodeQuery::Failed;
}

PodcastLibrary::AddressChange PodcastLibrary::ChangeAddress(const SubscriptionPtr& record,
                                                            const std::string& typed,
                                                            std::string& url) {
    const std::optional<std::string> to = FeedAddress(typed);
    url = to ? *to : TrimWhiteSpace(typed);
    if (!to)
        return AddressChange::NotAFeedAddress;
    if (!record)
        return AddressChange::Failed;
    const std::string from = model_.Values(record).url;
    if (*to == from)
        return AddressChange::Unchanged;
    // Cycles start only at a front end's request, on its own thread: none
    // begins between this look and the change.
    if (engine_.IsBusy())
        return AddressChange::Busy;
    if (!model_.ChangeUrl(record, *to))
        return model_.IsSubscribed(*to) ? AddressChange::AlreadySubscribed : AddressChange::Failed;
    const std::string base = model_.BaseDirectory();
    if (episodes_.IsOpen()) {
        if (episodes_.MoveTo(base, from, *to, engine_.Options().clock->CalendarNow(), true) !=
            EpisodeLedger::Move::Moved) {
            model_.ChangeUrl(record, from);
            return AddressChange::Failed;
        }
        // How its checks ended stays the podcast's under its new address.
        model_.AdoptCheckStatuses(episodes_.CheckStatuses(base), true);
        model_.AdoptCheckFailures(episodes_.CheckFailures(base));
    }
    // What was fetched from the old address says nothing of the new one.
    FeedCache(engine_.Options().feedCacheDirectory.value_or(std::string())).Forget(from);
    model_.SaveSettings();
    events_.SubscriptionsChanged();
    return AddressChange::Changed;
}

std::optional<StoredEpisode> PodcastLibrary::NewestEpisode(const SubscriptionPtr& record) {
    std::vector<StoredEpisode> episodes;
    if (EpisodesOf(record, episodes) != EpisodeQuery::Done || episodes.empty())
        return std::nullopt;
    return std::move(episodes.front());
}

std::string PodcastLibrary::EpisodeFileNameFor(const StoredEpisode& episode,
                                               const std::string& podcast,
                                               const std::string& names) {
    const std::string urlName = FileNameFromUrl(episode.url);
    std::string rule = names;
    if (!NormaliseSetting("names", rule) || rule == "url")
        return urlName;
    return PatternFileName(rule, NamePartsOf(episode, podcast, urlName));
}

} // namespace tessarine
