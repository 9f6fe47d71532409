#include "core/library/PodcastLibrary.h"

#include "core/feeds/FeedDiscovery.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/net/FeedAddress.h"

namespace tessarine {

PodcastLibrary::PodcastLibrary(LibraryEvents& events, StartupSwitches switches,
                               EngineOptions options)
    : events_(events), switches_(switches),
      engine_(model_, events, switches.checkAndQuit, std::move(options)) {}

PodcastLibrary::~PodcastLibrary() {
    Shutdown();
}

LoadResult PodcastLibrary::Open(const std::string& base) {
    model_.Reset(base);
    LoadResult loaded = model_.LoadSettings();
    events_.SubscriptionsChanged();
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
        events_.SubscriptionsChanged();
    }
    return result;
}

OpmlImportCounts PodcastLibrary::ImportFeeds(const std::vector<OpmlFeed>& feeds) {
    const OpmlImportCounts counts = model_.AddFeeds(feeds);
    if (counts.added > 0) {
        events_.SubscriptionsChanged();
        model_.SaveSettings();
        engine_.RequestCycle();
    }
    return counts;
}

bool PodcastLibrary::Remove(const SubscriptionPtr& record) {
    if (!model_.RemoveSubscription(record))
        return false;
    events_.SubscriptionsChanged();
    model_.SaveSettings();
    return true;
}

LoadResult PodcastLibrary::ChangeBaseDirectory(const std::string& base) {
    // No save from the emptied list until the new base's file is loaded: it
    // would overwrite that file with a partial list (or none at all).
    const SharedModel::SaveHold hold(model_);
    model_.ReplaceBaseDirectory(base);
    LoadResult loaded = model_.LoadSettings();
    events_.SubscriptionsChanged();
    return loaded;
}

bool PodcastLibrary::CheckForNewItems() {
    return engine_.OnCheckForNewItems();
}

void PodcastLibrary::UpdateNow(const SubscriptionPtr& record) {
    engine_.OnUpdateThisPodcast(record);
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
    return FeedFolderPath(model_.BaseDirectory(), model_.Values(record).name);
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

} // namespace tessarine
