#include "core/library/PodcastLibrary.h"

#include "core/feeds/FeedDiscovery.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectoryLock.h"
#include "core/files/FileStore.h"
#include "core/net/FeedAddress.h"
#include "core/util/Strings.h"
#include "core/util/Text.h"

#include <filesystem>
#include <map>
#include <unordered_map>
#include <unordered_set>

namespace tessarine {
namespace {

// The record of the last checks is kept in "checks" beside the feed cache's
// folder; none without a cache.
std::string CheckHistoryFolder(const EngineOptions& options) {
    if (!options.feedCacheDirectory || options.feedCacheDirectory->empty())
        return {};
    return (std::filesystem::path(*options.feedCacheDirectory).parent_path() / "checks").string();
}

EngineOptions WithEpisodes(EngineOptions options, EpisodeLedger* episodes) {
    options.episodes = episodes;
    return options;
}

} // namespace

PodcastLibrary::PodcastLibrary(LibraryEvents& events, StartupSwitches switches,
                               EngineOptions options)
    : events_(events), switches_(switches),
      engine_(model_, events, switches.checkAndQuit, WithEpisodes(options, &episodes_)) {
    model_.SetCheckHistoryDirectory(CheckHistoryFolder(options));
}

PodcastLibrary::~PodcastLibrary() {
    Close();
}

PodcastLibrary::Claim PodcastLibrary::ClaimBaseDirectory(const std::string& base) {
    const BaseDirectoryPath path(base);
    auto lock = std::make_unique<BaseDirectoryLock>(path.Text());
    if (lock->GetState() == BaseDirectoryLock::State::HeldElsewhere)
        return Claim::HeldElsewhere;
    lock_ = std::move(lock); // lets go of the old folder's lock
    claimed_ = path;
    if (!lock_->Held())
        return Claim::NoLock;
    RemoveLeftoverTemporaryFiles(path.SettingsFile());
    return Claim::Obtained;
}

bool PodcastLibrary::HoldsLock() const {
    return lock_ && lock_->Held();
}

LoadResult PodcastLibrary::Open() {
    return Open(claimed_.Text());
}

LoadResult PodcastLibrary::Open(const std::string& base) {
    model_.Reset(BaseDirectoryPath(base).Text());
    LoadResult loaded = model_.LoadSettings();
    events_.SubscriptionsChanged();
    OpenEpisodeStore();
    return loaded;
}

void PodcastLibrary::OpenEpisodeStore() {
    episodes_.Close();
    const std::string base = model_.BaseDirectory();
    // Only under the base directory's lock: one program writes the store.
    // Without it, how the checks ended is read from a store that is there.
    if (!HoldsLock() || base != claimed_.Text()) {
        if (auto statuses = EpisodeLedger::PeekCheckStatuses(base))
            model_.AdoptCheckStatuses(std::move(*statuses), false);
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

bool PodcastLibrary::StartupCheckWanted(const StartupSwitches& switches, int32_t updateStart) {
    return switches.checkAndQuit || (!switches.doNotCheck && updateStart != 0);
}

bool PodcastLibrary::StartupCheckWanted() const {
    return StartupCheckWanted(switches_, model_.Options().updateStart);
}

namespace {

// The stored form of the address `typed`, also put into `result`; none (and
// `result` says it was refused) when it can be no feed's address.
std::optional<std::string> TypedAddress(const std::string& typed,
                                        PodcastLibrary::Subscribed& result) {
    const std::optional<std::string> url = FeedAddress(typed);
    result.url = url ? *url : TrimWhiteSpace(typed);
    return url;
}

} // namespace

PodcastLibrary::Subscribed PodcastLibrary::Subscribe(const std::string& typed) {
    Subscribed result;
    const std::optional<std::string> url = TypedAddress(typed, result);
    if (!url)
        return result;
    result.record = model_.AddSubscription(*url, "");
    if (result.record) {
        result.outcome = Subscribed::Outcome::Added;
        RememberSubscribed(*url, {});
        events_.SubscriptionsChanged();
        // Saved at once: whatever the check then does, the subscription is kept.
        model_.SaveSettings();
    } else {
        result.outcome = Subscribed::Outcome::AlreadySubscribed;
    }
    engine_.RequestCycle();
    return result;
}

PodcastLibrary::Subscribed PodcastLibrary::AddLookedUp(const std::string& typed) {
    Subscribed result;
    const std::optional<std::string> url = TypedAddress(typed, result);
    if (!url)
        return result;
    result.outcome = Subscribed::Outcome::AlreadySubscribed;
    if (model_.IsSubscribed(*url))
        return result;

    HttpSession session(engine_.Options().http);
    std::string body;
    HttpRequest request;
    request.compressed = true;
    const HttpResult fetched =
        session.FetchToString(*url, request, body, engine_.Options().maxFeedBytes);
    const bool read =
        fetched.opened && fetched.Complete() && fetched.status >= 200 && fetched.status < 300;
    if (read && !ReadFeed(body).hasChannel) {
        const PageFeed page = FeedOfPage(body, fetched.finalUrl.empty() ? *url : fetched.finalUrl);
        if (page.kind == PageFeed::Kind::NoneNamed) {
            result.outcome = Subscribed::Outcome::PageNamesNoFeed;
            return result;
        }
        if (page.kind == PageFeed::Kind::Named) {
            result.page = *url;
            result.url = page.url;
        }
    }
    result.record = model_.AddSubscription(result.url, "");
    if (result.record) {
        result.outcome = Subscribed::Outcome::Added;
        RememberSubscribed(result.url, {});
        events_.SubscriptionsChanged();
    }
    return result;
}

OpmlImportCounts PodcastLibrary::ImportFeeds(const std::vector<OpmlFeed>& feeds) {
    const OpmlImportCounts counts = AddFeeds(feeds);
    if (counts.added > 0) {
        model_.SaveSettings();
        engine_.RequestCycle();
    }
    return counts;
}

OpmlImportCounts PodcastLibrary::AddFeeds(const std::vector<OpmlFeed>& feeds) {
    std::unordered_set<std::string> before;
    for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions())
        before.insert(row.values.url);
    const OpmlImportCounts counts = model_.AddFeeds(feeds);
    if (counts.added == 0)
        return counts;
    // The new subscriptions, with the options their outlines carried.
    for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions()) {
        if (before.contains(row.values.url))
            continue;
        std::map<std::string, std::string> settings;
        for (const OpmlFeed& feed : feeds)
            if (FeedAddress(feed.url) == row.values.url) {
                settings = feed.settings;
                break;
            }
        RememberSubscribed(row.values.url, settings);
    }
    events_.SubscriptionsChanged();
    return counts;
}

bool PodcastLibrary::Remove(const SubscriptionPtr& record) {
    if (!model_.RemoveSubscription(record))
        return false;
    events_.SubscriptionsChanged();
    model_.SaveSettings();
    return true;
}

std::optional<LoadResult> PodcastLibrary::ChangeBaseDirectory(const std::string& base) {
    const BaseDirectoryPath path(base);
    // The folder held already, under another name, keeps its lock: a second
    // lock on the same file would find it held.
    if (HoldsLock() && path.InstanceKey() == claimed_.InstanceKey())
        claimed_ = path;
    else if (ClaimBaseDirectory(path.Text()) == Claim::HeldElsewhere)
        return std::nullopt;
    // No save from the emptied list until the new base's file is loaded: it
    // would overwrite that file with a partial list (or none at all).
    const SharedModel::SaveHold hold(model_);
    model_.ReplaceBaseDirectory(path.Text());
    LoadResult loaded = model_.LoadSettings();
    events_.SubscriptionsChanged();
    OpenEpisodeStore();
    return loaded;
}

bool PodcastLibrary::SaveSettings() {
    return model_.SaveSettings();
}

std::optional<Message> PodcastLibrary::TakeSaveFailure() {
    return model_.TakeSaveFailure();
}

std::vector<SubscriptionSnapshot> PodcastLibrary::SubscriptionRows() const {
    return model_.SnapshotSubscriptions();
}

size_t PodcastLibrary::SubscriptionCount() const {
    return model_.SubscriptionCount();
}

int32_t PodcastLibrary::LastCheckStatus(const SubscriptionPtr& record) const {
    return model_.LastCheckStatus(record);
}

std::optional<DownloadEntry> PodcastLibrary::DownloadAt(long long row) const {
    return model_.DownloadAt(row);
}

std::string PodcastLibrary::ExportOpml(std::string_view title, std::time_t created) const {
    // Each podcast's own options travel with it; the defaults do not. A
    // program that does not hold the base directory reads them from the
    // store as it is.
    std::unordered_map<std::string, OpmlSettings> own;
    const std::string base = model_.BaseDirectory();
    if (episodes_.IsOpen())
        for (const SubscriptionSnapshot& row : model_.SnapshotSubscriptions())
            episodes_.Values(base, row.values.url, own[row.values.url]);
    else
        own = EpisodeLedger::PeekOwnSettings(base);
    return model_.ExportOpml(title, created, [&own](const std::string& url) {
        const auto found = own.find(url);
        return found != own.end() ? found->second : OpmlSettings();
    });
}

bool PodcastLibrary::CheckForNewItems() {
    return engine_.OnCheckForNewItems();
}

void PodcastLibrary::UpdateNow(const SubscriptionPtr& record) {
    engine_.OnUpdateThisPodcast(record);
}

void PodcastLibrary::RequestCycle() {
    engine_.RequestCycle();
}

bool PodcastLibrary::IsBusy() const {
    return engine_.IsBusy();
}

bool PodcastLibrary::WaitForIdle(std::chrono::milliseconds timeout) {
    return engine_.WaitForIdle(timeout);
}

void PodcastLibrary::SetBehaviourOptions(int32_t updateStart, int32_t quitComplete) {
    OptionSet options = model_.Options();
    options.updateStart = updateStart;
    options.quitComplete = quitComplete;
    model_.SetOptions(options);
    model_.SaveSettings();
}

void PodcastLibrary::SetAutostartState(int32_t autostart, int32_t runKeyOpen) {
    OptionSet options = model_.Options();
    options.autostart = autostart;
    options.runKeyOpen = runKeyOpen;
    model_.SetOptions(options);
}

std::string PodcastLibrary::FolderOf(const SubscriptionPtr& record) const {
    return BaseDirectoryPath(model_.BaseDirectory()).FeedFolder(model_.Values(record).name);
}

std::optional<std::string> PodcastLibrary::DownloadFileOf(long long row) const {
    const std::optional<DownloadEntry> entry = model_.DownloadAt(row);
    if (!entry)
        return std::nullopt;
    return DownloadTargetPath(model_.BaseDirectory(), *entry);
}

void PodcastLibrary::Shutdown() {
    engine_.Shutdown();
}

void PodcastLibrary::Close() {
    Shutdown();
    episodes_.Close();
    lock_.reset();
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

} // namespace tessarine
