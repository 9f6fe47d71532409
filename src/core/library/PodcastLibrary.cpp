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
    // Nothing more is queued for it once it is unlisted (see
    // SharedModel::QueueDownload); what was is cancelled.
    engine_.CancelDownloadsOf(record);
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

Failure PodcastLibrary::LastCheckFailure(const SubscriptionPtr& record) const {
    return model_.LastCheckFailure(record);
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

bool PodcastLibrary::CancelDownload(long long row) {
    return row >= 0 && engine_.CancelDownload(static_cast<size_t>(row));
}

bool PodcastLibrary::RetryDownload(long long row) {
    return row >= 0 && engine_.RetryDownload(static_cast<size_t>(row));
}

size_t PodcastLibrary::RemoveFinishedDownloads() {
    const std::vector<size_t> rows = model_.RemoveFinishedDownloads();
    for (size_t row : rows)
        events_.DownloadStateChanged(row, DownloadState::Removed, {});
    return rows.size();
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

} // namespace tessarine
