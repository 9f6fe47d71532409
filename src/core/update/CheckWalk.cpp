#include "core/update/CheckWalk.h"

#include "core/feeds/FeedDiscovery.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/net/UrlReference.h"
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

} // namespace

CheckWalk::CheckWalk(SharedModel& model, LibraryEvents& events, const EngineOptions& options,
                     const std::atomic<bool>& cancel, ArchiveMemo& memo)
    : model_(model), events_(events), options_(options), cancel_(cancel), memo_(memo),
      queue_(model, events), walk_(model.Subscriptions()),
      cache_(options.feedCacheDirectory.value_or(std::string())),
      saves_(model, *options.clock, options.saveInterval) {}

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
    switch (ReadDocument(at, check, feed)) {
    case Reading::Read:
        return RecordFeed(walk_[at], check, feed);
    case Reading::Ended:
        return true;
    case Reading::Cancelled:
        break;
    }
    return false;
}

CheckWalk::Reading CheckWalk::ReadDocument(size_t at, const CheckStart& check, FeedDocument& feed) {
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
        if (read && ReadReply(reply, url, feedUrl, feed))
            return Reading::Read;
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
    if (!same)
        for (FeedItem& item : feed.items)
            item.enclosureUrl = ResolveUrlReference(feedUrl, item.enclosureUrl);
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
    model_.SaveSettings();
    events_.SubscriptionsChanged();
    events_.MessagePosted(
        {Message::Kind::Notice, IDS_FEED_FROM_PAGE, {ShownUrl(url), ShownUrl(pageUrl)}});
    return true;
}

bool CheckWalk::RecordFeed(const SubscriptionPtr& s, const CheckStart& check,
                           const FeedDocument& feed) {
    std::vector<std::string> enclosureUrls;
    enclosureUrls.reserve(feed.items.size());
    for (const FeedItem& item : feed.items)
        enclosureUrls.push_back(item.enclosureUrl);
    const EnclosureNames fileNames(enclosureUrls);
    const std::string name = NameAfterCheck(s, feed.channelTitle);

    // The archive lives in the folder of the name from before this check.
    // A link (or anything that is not a file of ours) in its place stays as
    // it is, and what it leads to too; the feed's downloads go on, as they
    // do when the archive cannot be written.
    ArchiveUpdate archive(memo_, FeedFilePath(check.base, check.nameBefore, kArchiveFileName),
                          enclosureUrls);
    if (archive.LeftAlone())
        PostError(IDS_ARCHIVE_LEFT_ALONE, {archive.Path()});
    // One listing of the folder instead of a look-up per enclosure: the
    // files of an unchanged feed are all there. Nothing in it is written
    // before the downloads, which come after the walk.
    const std::unordered_set<std::string> listed = FolderEntries(FeedFolderPath(check.base, name));
    bool feedQueued = false;
    const std::optional<std::vector<std::string>> names =
        QueueEnclosures(feed, fileNames, {check.base, name, listed}, archive, feedQueued);
    if (!names)
        return false;
    archive.Save();
    StalePartials(model_, check.base, name).Remove(listed, *names);

    model_.FinishCheck(s, name, feedQueued, OleDateTime::FromTime(options_.clock->CalendarNow()));
    TellCheckEnded(s, check.url, {});
    saves_.Changed();
    return true;
}

std::optional<std::vector<std::string>>
CheckWalk::QueueEnclosures(const FeedDocument& feed, const EnclosureNames& fileNames,
                           const FeedFolder& folder, ArchiveUpdate& archive, bool& feedQueued) {
    std::vector<std::string> names;
    names.reserve(feed.items.size());
    for (const FeedItem& item : feed.items) {
        if (cancel_)
            return std::nullopt;
        names.push_back(fileNames.NameOf(item.enclosureUrl));
        // Without a name of its own (see EnclosureNames) the enclosure is
        // left out of this check and said so; the others go on.
        bool queued = false;
        if (names.back().empty())
            PostError(IDS_NO_FILE_NAME, {item.enclosureUrl});
        else
            queued = queue_.Add(folder.base, item.enclosureUrl, folder.name, names.back(),
                                &folder.listed, item.enclosureLength);
        archive.Record(item);
        if (queued)
            feedQueued = anyQueued_ = true;
    }
    return names;
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
    model_.FailCheck(s);
    TellCheckEnded(s, url, failure.reason);
    events_.MessagePosted(failure);
}

void CheckWalk::TellCheckEnded(const SubscriptionPtr& s, const std::string& url,
                               const Failure& failure) {
    const Subscription values = model_.Values(s);
    events_.FeedCheckEnded({url, values.name, values.status, failure});
}

void CheckWalk::PostError(int id, std::vector<std::string> args, Failure reason) {
    events_.MessagePosted({Message::Kind::Error, id, std::move(args), std::move(reason)});
}

} // namespace tessarine
