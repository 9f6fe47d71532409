#include "core/update/CheckWalk.h"

#include "core/feeds/FeedDiscovery.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/files/File.h"
#include "core/net/FeedAddress.h"
#include "core/net/HttpClient.h"
#include "core/net/UrlReference.h"
#include "core/store/EpisodeLedger.h"
#include "core/update/StalePartials.h"
#include "core/util/Strings.h"
#include "core/util/Text.h"

#include <filesystem>

namespace tessarine {
namespace {

// The names in `folder`; none when it cannot be listed.
std::unordered_set<std::string> FolderEntries(const std::string& folder) {
    std::unordered_set<std::string> names;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
        names.insert(it->path().filename().string());
    return names;
}

// The address an item's episode is fetched from: its enclosure, or for an
// item without one its audio or video media content.
const std::string& EpisodeUrl(const FeedItem& item) {
    return item.enclosureUrl.empty() ? item.mediaUrl : item.enclosureUrl;
}

} // namespace

CheckWalk::CheckWalk(SharedModel& model, LibraryEvents& events, const EngineOptions& options,
                     const std::atomic<bool>& cancel, ArchiveMemo& memo)
    : model_(model), events_(events), options_(options), cancel_(cancel), memo_(memo),
      ledger_(options.episodes != nullptr ? options.episodes : &noStore_), queue_(model, events),
      walk_(model.Subscriptions()), cache_(options.feedCacheDirectory.value_or(std::string())),
      saves_(model, *options.clock, options.saveInterval) {}

CheckWalk::~CheckWalk() {
    ledger_->SaveCheckResults();
}

CycleResult CheckWalk::Run() {
    for (size_t at = 0; at < walk_.size(); ++at) {
        if (cancel_)
            return CycleCancelled;
        // Due are the records still listed whose status is newly added or
        // pending when the walk reaches them.
        if (!model_.IsDue(walk_[at])) {
            if (lookahead_)
                lookahead_->Forget(at);
            continue;
        }
        if (!OpenLookahead())
            return CycleNoInternet;
        lookahead_->RequestAhead(at);
        if (!CheckFeed(at))
            return CycleCancelled;
    }
    lookahead_.reset();
    saves_.Flush();
    return CycleDone;
}

bool CheckWalk::OpenLookahead() {
    if (lookahead_)
        return true;
    lookahead_ = std::make_unique<FeedLookahead>(model_, walk_, cache_, saves_, options_, &cancel_);
    if (lookahead_->IsOpen())
        return true;
    PostError(IDS_INTERNET_OPEN_FAILED, {}, {FailureKind::NoInternet});
    return false;
}

bool CheckWalk::CheckFeed(size_t at) {
    // The base directory is read once for the whole step: the archive and
    // every enclosure of this feed are looked for under the same one.
    const CheckStart check = model_.BeginCheck(walk_[at]);
    events_.FeedCheckBegan(check.url);
    FeedDocument feed;
    Moves moves;
    switch (ReadDocument(at, check, feed, moves)) {
    case Reading::Read:
        if (!RecordFeed(walk_[at], check, feed))
            return false;
        FollowMove(walk_[at], check, moves);
        return true;
    case Reading::Ended:
        return true;
    case Reading::Cancelled:
        break;
    }
    return false;
}

CheckWalk::Reading CheckWalk::ReadDocument(size_t at, const CheckStart& check, FeedDocument& feed,
                                           Moves& moves) {
    const SubscriptionPtr& s = walk_[at];
    std::string url = check.url;
    // The feed is fetched and read; once more from the feed a web page
    // names, when the record's first reply is such a page.
    for (bool fromPage = false;; fromPage = true) {
        std::optional<FeedReply> taken = TakeReply(at, url);
        if (!taken)
            return Reading::Cancelled;
        FeedReply& reply = *taken;
        // Unchanged: the document read from the last full reply, with its
        // enclosure URLs resolved as they were then (the cache entry whose
        // validators were sent).
        if (reply.response.result.NotModified() && reply.conditional && reply.cached) {
            feed = std::move(reply.cached->document);
            return Reading::Read;
        }
        // An error status, a transfer cut short, a document that is not
        // well-formed or not a feed is a failure like a URL that cannot be
        // opened: the name, the date and the settings file stay as they were.
        const HttpResult& fetched = reply.response.result;
        const bool read =
            fetched.opened && fetched.Complete() && fetched.status >= 200 && fetched.status < 300;
        // Relative enclosure URLs are meant from where the feed was found.
        const std::string feedUrl = fetched.finalUrl.empty() ? url : fetched.finalUrl;
        if (read && ReadReply(reply, url, feedUrl, feed)) {
            // Where the podcast says it lives now: the address it was
            // permanently redirected to, or the one its document names.
            if (!fromPage && fetched.MovedPermanently())
                moves.redirected = fetched.finalUrl;
            moves.named = feed.newFeedUrl;
            return Reading::Read;
        }
        Message failure{Message::Kind::Error,
                        IDS_COULD_NOT_OPEN,
                        {ShownUrl(url)},
                        read ? Failure{FailureKind::NotAFeed} : fetched.failure};
        if (read && check.firstRead && !fromPage) {
            // A podcast's web page instead of its feed: the record takes the
            // feed the page names, saved at once, and is read from it.
            const PageFeed page = FeedOfPage(reply.response.body, feedUrl);
            if (page.kind == PageFeed::Kind::Named) {
                if (!FollowPage(s, url, page.url))
                    return Reading::Ended;
                url = page.url;
                continue;
            }
            if (page.kind == PageFeed::Kind::NoneNamed)
                failure = {Message::Kind::Error,
                           IDS_PAGE_NAMES_NO_FEED,
                           {ShownUrl(url)},
                           {FailureKind::PageNamesNoFeed}};
        }
        FailCheck(s, check.url, failure);
        return Reading::Ended;
    }
}

std::optional<FeedReply> CheckWalk::TakeReply(size_t at, const std::string& url) {
    FeedReply reply = lookahead_->Take(at, url);
    if (cancel_)
        return std::nullopt;
    // Unchanged, but without the cache entry whose validators were sent: the
    // feed is asked for again in full.
    if (reply.response.result.NotModified() && reply.conditional && !reply.cached) {
        reply = lookahead_->Take(at, url, false);
        if (cancel_)
            return std::nullopt;
    }
    return reply;
}

bool CheckWalk::ReadReply(FeedReply& reply, const std::string& url, const std::string& feedUrl,
                          FeedDocument& feed) {
    std::string& body = reply.response.body;
    BodyDigest digest = BodyDigest::Of(body, feedUrl);
    // The bytes the cached document was read from: it is taken as it is.
    const bool same = reply.cached && reply.cached->digest == digest;
    if (same) {
        feed = std::move(reply.cached->document);
    } else {
        feed = ReadFeed(body);
        if (!feed.wellFormed || !feed.hasChannel)
            return false;
    }
    body.clear();
    body.shrink_to_fit();
    if (!same) {
        for (FeedItem& item : feed.items)
            item.enclosureUrl = ResolveUrlReference(feedUrl, item.enclosureUrl);
        for (FeedItem& item : feed.mediaItems)
            item.mediaUrl = ResolveUrlReference(feedUrl, item.mediaUrl);
    }
    // Kept for the next check: its validators to ask conditionally, its
    // digest to know the same bytes again.
    const HttpValidators& validators = reply.response.result.validators;
    if (!same || reply.cached->validators != validators)
        cache_.Store(url, CachedFeed{validators, feed, std::move(digest)});
    return true;
}

bool CheckWalk::FollowPage(const SubscriptionPtr& s, const std::string& url,
                           const std::string& pageUrl) {
    if (!model_.ChangeUrl(s, pageUrl)) {
        // That feed is subscribed already: the page's record goes.
        model_.RemoveSubscription(s);
        events_.SubscriptionsChanged();
        model_.SaveSettings();
        PostError(IDS_DUPLICATE_URL, {ShownUrl(pageUrl)});
        return false;
    }
    ledger_->Readdressed(model_.BaseDirectory(), url, pageUrl);
    model_.SaveSettings();
    events_.SubscriptionsChanged();
    events_.MessagePosted(
        {Message::Kind::Notice, IDS_FEED_FROM_PAGE, {ShownUrl(url), ShownUrl(pageUrl)}});
    return true;
}

bool CheckWalk::RecordFeed(const SubscriptionPtr& s, const CheckStart& check,
                           const FeedDocument& feed) {
    // The episodes: the items with an enclosure, then those with only
    // audio or video media content. Only the former are recorded in the
    // archive, and the names of their files depend on them alone; a media
    // item's name is told apart from all of them.
    std::vector<std::string> enclosureUrls;
    enclosureUrls.reserve(feed.items.size());
    for (const FeedItem& item : feed.items)
        enclosureUrls.push_back(item.enclosureUrl);
    const EnclosureNames fileNames(enclosureUrls);
    std::optional<EnclosureNames> mediaNames;
    std::vector<const FeedItem*> episodes;
    episodes.reserve(feed.items.size() + feed.mediaItems.size());
    for (const FeedItem& item : feed.items)
        episodes.push_back(&item);
    if (!feed.mediaItems.empty()) {
        std::vector<std::string> allUrls = enclosureUrls;
        for (const FeedItem& item : feed.mediaItems) {
            allUrls.push_back(item.mediaUrl);
            episodes.push_back(&item);
        }
        mediaNames.emplace(allUrls);
    }
    const std::string name = NameAfterCheck(s, feed.channelTitle);
    const std::string folderName = FeedFolderName(name);

    EpisodeLedger::FeedStep step(*ledger_, check.base, check.url, folderName, name,
                                 options_.clock->CalendarNow());
    // The archive lives in the folder of the name from before this check,
    // unless the folder follows the podcast's new name now.
    const std::string archiveOf = MoveFolder(step, check, name) ? name : check.nameBefore;
    // A link (or anything that is not a file of ours) in the archive's place
    // stays as it is, and what it leads to too; the feed's downloads go on,
    // as they do when the archive cannot be written.
    ArchiveUpdate archive(memo_, FeedFilePath(check.base, archiveOf, kArchiveFileName),
                          enclosureUrls);
    if (archive.LeftAlone())
        PostError(IDS_ARCHIVE_LEFT_ALONE, {archive.Path()});
    // One listing of the folder instead of a look-up per enclosure: the
    // files of an unchanged feed are all there. Nothing in it is written
    // before the downloads, which come after the walk.
    const std::unordered_set<std::string> listed = FolderEntries(FeedFolderPath(check.base, name));
    bool feedQueued = false;
    std::vector<std::string> names;
    names.reserve(episodes.size());
    if (step.Active())
        step.Rank(episodes);
    for (size_t i = 0; i < episodes.size(); ++i) {
        if (cancel_)
            return false;
        const FeedItem& item = *episodes[i];
        const bool media = i >= feed.items.size();
        const std::string& url = EpisodeUrl(item);
        std::string fileName = media ? mediaNames->NameOf(url) : fileNames.NameOf(url);
        // Without a name of its own (see EnclosureNames) the enclosure is
        // left out of this check and said so; the others go on.
        if (fileName.empty())
            PostError(IDS_NO_FILE_NAME, {url});
        else if (QueueEpisode(step, i, item, {check.base, name, listed, s}, fileName))
            feedQueued = anyQueued_ = true;
        names.push_back(std::move(fileName));
        if (!media)
            archive.Record(item);
    }
    archive.Save();
    step.Save();
    StalePartials(model_, check.base, name).Remove(listed, names);

    model_.FinishCheck(s, name, feedQueued, OleDateTime::FromTime(options_.clock->CalendarNow()));
    TellCheckEnded(s, check.url, {});
    if (step.Active())
        events_.EpisodesChanged(model_.Values(s).url);
    saves_.Changed();
    return true;
}

bool CheckWalk::QueueEpisode(EpisodeLedger::FeedStep& step, size_t index, const FeedItem& item,
                             const FeedFolder& folder, std::string& fileName) {
    const std::string& url = EpisodeUrl(item);
    if (!step.Active())
        return queue_.Add(folder.base, folder.subscription, url, folder.name, fileName,
                          &folder.listed, item.enclosureLength);
    const EpisodeLedger::Plan plan = step.Decide(index, fileName, folder.listed);
    if (plan.action != EpisodeLedger::Plan::Action::Fetch)
        return false;
    fileName = plan.fileName;
    const bool queued =
        queue_.Add(folder.base, folder.subscription, url, folder.name, fileName, &folder.listed,
                   item.enclosureLength, {step.Podcast(), step.Key(index)}, plan.replace);
    if (queued)
        step.Queued(index);
    else if (!plan.replace && (folder.listed.contains(fileName) ||
                               PathExists(FeedFilePath(folder.base, folder.name, fileName))))
        step.Present(index, fileName);
    // Otherwise the queue turned it down without a file there (its podcast
    // was removed while the check ran, or it is queued already): the store
    // keeps what it knew, so a later check still fetches it.
    return queued;
}

bool CheckWalk::MoveFolder(EpisodeLedger::FeedStep& step, const CheckStart& check,
                           const std::string& name) {
    // A podcast that changes its title keeps its files: its folder takes the
    // new name, archive and all, when no folder has that name yet. Otherwise
    // the files stay where they are and the store keeps their paths, so
    // nothing is fetched again either way.
    if (!step.Active())
        return false;
    const std::string from = step.KnownFolder();
    const std::string to = FeedFolderName(name);
    if (from.empty() || to.empty() || from == to || from != FeedFolderName(check.nameBefore))
        return false;
    const std::string fromPath = FeedFolderPath(check.base, check.nameBefore);
    bool targetExists = false;
    if (KindAt(fromPath, false) != EntryKind::Folder ||
        !RenameNoReplace(fromPath, FeedFolderPath(check.base, name), targetExists))
        return false;
    SyncFolderOf(fromPath);
    step.FolderRenamed(from, to);
    return true;
}

void CheckWalk::FollowMove(const SubscriptionPtr& s, const CheckStart& check, const Moves& moves) {
    // Moves are remembered in the episode store, which keeps a podcast from
    // going back to an address it moved away from: without it, none.
    if (!ledger_->IsOpen())
        return;
    const std::string& from = check.url;
    const auto other = [&](const std::string& url) {
        return !url.empty() && FeedAddressKey(url) != FeedAddressKey(from);
    };
    std::string to;
    if (other(moves.redirected))
        to = moves.redirected;
    else if (other(moves.named))
        to = moves.named;
    else
        return;
    if (ledger_->MovedAwayFrom(check.base, to))
        return;
    if (model_.IsSubscribed(to)) {
        // Two subscriptions are never merged behind the user's back: the
        // moved one stays, and the user hears of it once.
        if (ledger_->TellMoveOnce(check.base, from, to))
            events_.MessagePosted({Message::Kind::Notice,
                                   IDS_FEED_MOVED_TO_SUBSCRIBED,
                                   {ShownUrl(from), ShownUrl(to)}});
        return;
    }
    // A redirect was followed to a feed that was read; an address the
    // document names must answer with a feed before it is taken.
    if (to != moves.redirected && !AnswersWithFeed(to))
        return;
    if (!model_.ChangeUrl(s, to))
        return;
    if (ledger_->MoveTo(check.base, from, to, options_.clock->CalendarNow()) !=
        EpisodeLedger::Move::Moved) {
        model_.ChangeUrl(s, from);
        return;
    }
    cache_.Forget(from);
    model_.SaveSettings();
    events_.SubscriptionsChanged();
    events_.MessagePosted({Message::Kind::Notice, IDS_FEED_MOVED, {ShownUrl(from), ShownUrl(to)}});
}

bool CheckWalk::AnswersWithFeed(const std::string& url) {
    HttpSession session(options_.http, &cancel_);
    if (!session.IsOpen())
        return false;
    std::string body;
    const HttpResult fetched =
        session.FetchToString(url, HttpRequest(), body, options_.maxFeedBytes);
    if (!fetched.opened || !fetched.Complete() || fetched.status < 200 || fetched.status >= 300)
        return false;
    const FeedDocument feed = ReadFeed(body);
    return feed.wellFormed && feed.hasChannel;
}

std::string CheckWalk::NameAfterCheck(const SubscriptionPtr& s, const std::string& channelTitle) {
    // A feed never empties the name: without a title the subscription keeps
    // its own, and one that has none yet is named after its feed's URL.
    if (!channelTitle.empty())
        return channelTitle;
    const Subscription own = model_.Values(s);
    if (!own.name.empty() && own.name != LoadResString(IDS_NEW_PODCAST))
        return own.name;
    const std::vector<SubscriptionSnapshot> others = model_.SnapshotSubscriptions();
    return NameFromFeedUrl(own.url, [&](const std::string& name) {
        const std::string folder = FeedFolderName(name);
        for (const SubscriptionSnapshot& other : others)
            if (other.record != s &&
                SameNameIgnoringCase(FeedFolderName(other.values.name), folder))
                return true;
        return false;
    });
}

void CheckWalk::FailCheck(const SubscriptionPtr& s, const std::string& url,
                          const Message& failure) {
    model_.FailCheck(s, failure.reason);
    TellCheckEnded(s, url, failure.reason);
    events_.MessagePosted(failure);
}

void CheckWalk::TellCheckEnded(const SubscriptionPtr& s, const std::string& url,
                               const Failure& failure) {
    const Subscription values = model_.Values(s);
    ledger_->CheckEnded(model_.BaseDirectory(), url, values.status, failure,
                        options_.clock->CalendarNow());
    events_.FeedCheckEnded({url, values.name, values.status, failure});
}

void CheckWalk::PostError(int id, std::vector<std::string> args, Failure reason) {
    events_.MessagePosted({Message::Kind::Error, id, std::move(args), std::move(reason)});
}

} // namespace tessarine
