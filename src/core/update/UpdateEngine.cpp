#include "core/update/UpdateEngine.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/FeedArchive.h"
#include "core/feeds/FeedCache.h"
#include "core/feeds/FeedDiscovery.h"
#include "core/feeds/FeedReader.h"
#include "core/files/BaseDirectory.h"
#include "core/net/FeedFetcher.h"
#include "core/net/UrlReference.h"
#include "core/update/PartialFile.h"
#include "core/util/Fnv1a.h"
#include "core/util/Strings.h"
#include "core/util/Text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <unordered_set>
#include <vector>

namespace tessarine {
namespace {

// The hash of the URLs, each ended by its length, in their order.
uint64_t LinksHash(const std::vector<std::string>& urls) {
    uint64_t hash = kFnv1aStart;
    for (const std::string& url : urls) {
        char size[8];
        for (size_t left = url.size(), i = 0; i < 8; ++i, left >>= 8)
            size[i] = static_cast<char>(left & 0xff);
        hash = Fnv1a(std::string_view(size, sizeof size), Fnv1a(url, hash));
    }
    return hash;
}

// The settings saves of one walk: at most one per interval while records
// change, one when the walk waits for the network past the time the next
// save is due, and one at its end, however it ends.
class CycleSaves {
public:
    CycleSaves(SharedModel& model, const Clock& clock, std::chrono::milliseconds interval)
        : model_(model), clock_(clock), interval_(interval) {}
    ~CycleSaves() { Flush(); }
    CycleSaves(const CycleSaves&) = delete;
    CycleSaves& operator=(const CycleSaves&) = delete;

    void Changed() {
        changed_ = true;
        if (!last_ || clock_.Now() - *last_ >= interval_)
            Flush();
    }
    // How long until a save of the changes is due (zero without changes:
    // nothing to wait for).
    std::chrono::milliseconds TimeToNext() const {
        if (!changed_ || !last_)
            return std::chrono::milliseconds(0);
        const auto since =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - *last_);
        return std::max(std::chrono::milliseconds(0), interval_ - since);
    }
    void Flush() {
        if (!changed_)
            return;
        changed_ = false;
        model_.SaveSettings();
        last_ = clock_.Now();
    }

private:
    SharedModel& model_;
    const Clock& clock_;
    const std::chrono::milliseconds interval_;
    bool changed_ = false;
    // When the walk last saved; none before its first save, which is due at
    // once whatever the clock reads.
    std::optional<Clock::TimePoint> last_;
};

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

UpdateEngine::UpdateEngine(SharedModel& model, LibraryEvents& events, bool checkAndQuit,
                           EngineOptions options)
    : model_(model), events_(events), checkAndQuit_(checkAndQuit), options_([&options] {
          options.http.clock = options.clock;
          return std::move(options);
      }()) {}

UpdateEngine::~UpdateEngine() {
    Shutdown();
}

bool UpdateEngine::OnCheckForNewItems() {
    // Newly added subscriptions are due as they are; every other one is
    // marked pending. A cycle starts when any subscription is due, so that
    // an unattended run with only new subscriptions checks them and ends.
    const bool due = model_.MarkAllPending();
    if (due)
        RequestCycle();
    return due;
}

void UpdateEngine::OnUpdateThisPodcast(const SubscriptionPtr& record) {
    if (!record)
        return;
    model_.MarkPending(record);
    RequestCycle();
}

void UpdateEngine::RequestCycle() {
    std::lock_guard lock(workerMutex_);
    if (stopping_)
        return;
    pending_ = true;
    if (!worker_.joinable())
        worker_ = std::thread([this] { WorkerMain(); });
    workerWake_.notify_one();
}

bool UpdateEngine::IsBusy() const {
    std::lock_guard lock(workerMutex_);
    return pending_ || running_;
}

bool UpdateEngine::WaitForIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(workerMutex_);
    return workerIdle_.wait_for(lock, timeout, [this] { return !pending_ && !running_; });
}

void UpdateEngine::BeginShutdown() {
    std::lock_guard lock(workerMutex_);
    stopping_ = true;
    pending_ = false;
    cancel_ = true;
    workerWake_.notify_one();
}

void UpdateEngine::Shutdown() {
    BeginShutdown();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
        worker_.join();
}

void UpdateEngine::WorkerMain() {
    std::unique_lock lock(workerMutex_);
    for (;;) {
        workerWake_.wait(lock, [this] { return pending_ || stopping_; });
        if (stopping_)
            break;
        pending_ = false;
        running_ = true;
        lock.unlock();
        const CycleResult result = CheckCycleProc();
        model_.SaveCheckHistory();
        // A settings file that could not be written is told once a cycle,
        // however many of its saves failed.
        if (const std::optional<Message> failure = model_.TakeSaveFailure())
            events_.MessagePosted(*failure);
        ++cyclesRun_;
        lock.lock();
        if (!pending_ && !stopping_) {
            lock.unlock();
            // The quit rule: not after a cancelled cycle or one whose
            // transfers could not open an internet handle.
            events_.CycleEnded(result == CycleDone && model_.QuitWanted(checkAndQuit_));
            lock.lock();
        }
        running_ = pending_;
        if (!running_)
            workerIdle_.notify_all();
    }
    running_ = false;
    workerIdle_.notify_all();
}

CycleResult UpdateEngine::CheckCycleProc() {
    bool anyQueued = false;
    const std::vector<SubscriptionPtr> walk = model_.Subscriptions();
    const FeedCache cache(options_.feedCacheDirectory ? *options_.feedCacheDirectory
                                                      : FeedCache::DefaultDirectory());
    CycleSaves saves(model_, *options_.clock, options_.saveInterval);
    std::unique_ptr<FeedFetcher> fetcher;

    // Requests are added about a window ahead of the walk, for the records
    // due when the lookahead passes them; the walk itself decides again when
    // it gets there.
    struct Request {
        size_t index = 0;
        std::string url;
        bool conditional = false;           // validators of `cached` were sent
        std::optional<CachedFeed> cached{}; // the feed's cache entry, if any
    };
    std::vector<std::optional<Request>> requests(walk.size());
    const size_t connections = static_cast<size_t>(std::max(1, options_.feedConnections));
    const size_t lookahead = 4 * connections;
    size_t ahead = 0;   // every walk position before it has been looked at
    size_t pending = 0; // requests added and not yet taken or dropped
    const auto add = [&](const std::string& url, bool conditional) {
        FeedRequest request{url, {}};
        std::optional<CachedFeed> cached;
        if (conditional)
            if ((cached = cache.Load(url)))
                request.validators = cached->validators;
        const bool asks = !request.validators.Empty();
        ++pending;
        return Request{fetcher->Add(std::move(request)), url, asks, std::move(cached)};
    };
    const auto forget = [&](std::optional<Request>& request) {
        if (request) {
            fetcher->Drop(request->index);
            request.reset();
            --pending;
        }
    };

    for (size_t at = 0; at < walk.size(); ++at) {
        const SubscriptionPtr& s = walk[at];
        if (cancel_)
            return CycleCancelled;
        // Due are the records still listed whose status is newly added or
        // pending when the walk reaches them.
        if (!model_.IsDue(s)) {
            if (fetcher)
                forget(requests[at]);
            continue;
        }
        if (!fetcher) {
            FeedFetcherOptions fetch;
            fetch.http = options_.http;
            fetch.maxBodyBytes = options_.maxFeedBytes;
            fetch.connections = static_cast<int>(connections);
            fetch.window = static_cast<int>(2 * connections);
            fetcher = std::make_unique<FeedFetcher>(fetch, &cancel_);
            if (!fetcher->IsOpen()) {
                PostError(IDS_INTERNET_OPEN_FAILED, {}, {FailureKind::NoInternet});
                return CycleNoInternet;
            }
        }
        for (ahead = std::max(ahead, at + 1); ahead < walk.size() && pending < lookahead; ++ahead)
            if (model_.IsDue(walk[ahead]))
                requests[ahead] = add(model_.Values(walk[ahead]).url, true);

        // The base directory is read once for the whole step: the archive and
        // every enclosure of this feed are looked for under the same one.
        const CheckStart check = model_.BeginCheck(s);
        std::string url = check.url;
        const std::string& base = check.base;
        events_.FeedCheckBegan(check.url);

        FeedDocument feed;
        // Set when the step ends here: the check failed, or the record went.
        bool endStep = false;
        // The feed is fetched and read; once more from the feed a web page
        // names, when the record's first reply is such a page.
        for (bool fromPage = false;;) {
            // Due only now, or asked for under another URL: asked for at once.
            if (requests[at] && requests[at]->url != url)
                forget(requests[at]);
            if (!requests[at])
                requests[at] = add(url, true);
            const auto take = [&] {
                // Changes not yet saved are written before waiting any longer
                // for the network than the save interval allows.
                if (!fetcher->WaitReady(requests[at]->index, saves.TimeToNext()))
                    saves.Flush();
                FeedResponse response = fetcher->Take(requests[at]->index);
                --pending;
                return response;
            };
            FeedResponse response = take();
            if (cancel_)
                return CycleCancelled;

            // Unchanged: the document read from the last full reply, with its
            // enclosure URLs resolved as they were then (the cache entry whose
            // validators were sent). Without one the feed is asked for again in
            // full.
            bool ok = false, cached = false;
            if (response.result.NotModified() && requests[at]->conditional) {
                if (requests[at]->cached) {
                    feed = std::move(requests[at]->cached->document);
                    ok = cached = true;
                } else {
                    requests[at] = add(url, false);
                    response = take();
                    if (cancel_)
                        return CycleCancelled;
                }
            }
            std::optional<CachedFeed> entry = std::move(requests[at]->cached);
            requests[at].reset();
            if (cached)
                break;

            // An error status, a transfer cut short, a document that is not
            // well-formed or not a feed is a failure like a URL that cannot
            // be opened: the name, the date and the settings file stay as
            // they were.
            const HttpResult& fetched = response.result;
            const bool read = fetched.opened && fetched.Complete() &&
                              fetched.status >= 200 && fetched.status < 300;
            ok = read;
            // Relative enclosure URLs are meant from where the feed was found.
            const std::string& feedUrl = fetched.finalUrl.empty() ? url : fetched.finalUrl;
            BodyDigest digest;
            bool same = false; // the bytes the cached document was read from
            if (ok) {
                digest = BodyDigest::Of(response.body, feedUrl);
                same = entry && entry->digest == digest;
                if (same) {
                    feed = std::move(entry->document);
                } else {
                    feed = ReadFeed(response.body);
                    ok = feed.wellFormed && feed.hasChannel;
                }
            }
            Message failure{Message::Kind::Error, IDS_COULD_NOT_OPEN, {ShownUrl(url)},
                            read ? Failure{FailureKind::NotAFeed} : fetched.failure};
            if (read && !ok && check.firstRead && !fromPage) {
                // A podcast's web page instead of its feed: the record takes
                // the feed the page names, saved at once, and is read from it.
                const PageFeed page = FeedOfPage(response.body, feedUrl);
                if (page.kind == PageFeed::Kind::Named) {
                    if (!model_.ChangeUrl(s, page.url)) {
                        // That feed is subscribed already: the page's record goes.
                        model_.RemoveSubscription(s);
                        events_.SubscriptionsChanged();
                        model_.SaveSettings();
                        PostError(IDS_DUPLICATE_URL, {ShownUrl(page.url)});
                        endStep = true;
                        break;
                    }
                    model_.SaveSettings();
                    events_.SubscriptionsChanged();
                    events_.MessagePosted({Message::Kind::Notice, IDS_FEED_FROM_PAGE,
                                           {ShownUrl(url), ShownUrl(page.url)}});
                    url = page.url;
                    fromPage = true;
                    continue;
                }
                if (page.kind == PageFeed::Kind::NoneNamed)
                    failure = {Message::Kind::Error, IDS_PAGE_NAMES_NO_FEED, {ShownUrl(url)},
                               {FailureKind::PageNamesNoFeed}};
            }
            response.body.clear();
            response.body.shrink_to_fit();
            if (!ok) {
                model_.FailCheck(s);
                TellCheckEnded(s, check.url, failure.reason);
                events_.MessagePosted(failure);
                endStep = true;
                break;
            }
            if (!same)
                for (FeedItem& item : feed.items)
                    item.enclosureUrl = ResolveUrlReference(feedUrl, item.enclosureUrl);
            // Kept for the next check: its validators to ask conditionally,
            // its digest to know the same bytes again.
            if (!same || entry->validators != fetched.validators)
                cache.Store(url, CachedFeed{fetched.validators, feed, std::move(digest)});
            break;
        }
        if (endStep)
            continue;

        std::vector<std::string> enclosureUrls;
        enclosureUrls.reserve(feed.items.size());
        for (const FeedItem& item : feed.items)
            enclosureUrls.push_back(item.enclosureUrl);
        const EnclosureNames fileNames(enclosureUrls);
        const std::string name = NameAfterCheck(s, feed.channelTitle);

        // The archive lives in the folder of the name from before this check.
        // When it is as this worker left it, after recording every one of
        // these enclosure URLs, nothing would be appended: it is not read.
        const std::string archivePath = FeedFilePath(base, check.nameBefore, kArchiveFileName);
        const uint64_t links = LinksHash(enclosureUrls);
        const auto memo = archiveMemo_.find(archivePath);
        const std::optional<FileStamp> stamp =
            memo != archiveMemo_.end() ? FileStamp::Of(archivePath) : std::nullopt;
        const bool recorded = stamp && memo->second.stamp == *stamp && memo->second.links == links;
        FeedArchive archive;
        if (!recorded)
            archive.Open(archivePath);
        // A link (or anything that is not a file of ours) in the archive's
        // place stays as it is, and what it leads to too; the feed's
        // downloads go on, as they do when the archive cannot be written.
        const bool archiveLeftAlone = !recorded && archive.LeftAlone();
        if (archiveLeftAlone)
            PostError(IDS_ARCHIVE_LEFT_ALONE, {archivePath});
        bool feedQueued = false;
        std::vector<std::string> names;
        names.reserve(feed.items.size());
        // One listing of the folder instead of a look-up per enclosure: the
        // files of an unchanged feed are all there. Nothing in it is written
        // before the downloads, which come after the walk.
        const std::unordered_set<std::string> listed = FolderEntries(FeedFolderPath(base, name));
        for (const FeedItem& item : feed.items) {
            if (cancel_)
                return CycleCancelled;
            names.push_back(fileNames.NameOf(item.enclosureUrl));
            // Without a name of its own (see EnclosureNames) the enclosure
            // is left out of this check and said so; the others go on.
            bool queued = false;
            if (names.back().empty())
                PostError(IDS_NO_FILE_NAME, {item.enclosureUrl});
            else
                queued = QueueDownloadIn(base, item.enclosureUrl, name, names.back(), &listed,
                                         item.enclosureLength);
            // A new archive is not searched: every item counts as unrecorded.
            if (!recorded && !archiveLeftAlone &&
                (archive.IsNew() || !archive.Lookup(item.enclosureUrl)))
                archive.Append(item.title, item.description, item.enclosureUrl, item.pubDate);
            if (queued)
                feedQueued = anyQueued = true;
        }
        if (!recorded) {
            const bool saved = archive.Save(archivePath);
            const std::optional<FileStamp> after =
                saved || !archive.Appended() ? FileStamp::Of(archivePath) : std::nullopt;
            if (after)
                archiveMemo_[archivePath] = ArchiveMemo{*after, links};
            else
                archiveMemo_.erase(archivePath);
        }
        RemoveStalePartials(base, name, listed, names);

        model_.FinishCheck(s, name, feedQueued,
                           OleDateTime::FromTime(options_.clock->CalendarNow()));
        TellCheckEnded(s, check.url, {});
        saves.Changed();
    }
    fetcher.reset();
    saves.Flush();

    if (anyQueued)
        return RunDownloads();
    return CycleDone;
}

void UpdateEngine::RemoveStalePartials(const std::string& base, const std::string& folder,
                                       const std::unordered_set<std::string>& listed,
                                       const std::vector<std::string>& fileNames) {
    if (FeedFolderName(folder).empty())
        return;
    const std::string folderPath = FeedFolderPath(base, folder);
    std::vector<std::string> found;
    for (const std::string& entry : listed)
        if (EnclosureNames::IsPartialName(entry))
            found.push_back(entry);
    if (found.empty())
        return;
    // Kept are those of this feed's enclosures and of every entry queued
    // into the same folder (another subscription may share the name).
    std::unordered_set<std::string> kept;
    const auto keep = [&](const std::string& fileName) {
        const std::string target = FeedFilePath(base, folder, fileName);
        kept.insert(std::filesystem::path(PartialFile::PathFor(target)).filename().string());
        kept.insert(std::filesystem::path(PartialFile::ResumePathFor(target)).filename().string());
    };
    for (const std::string& fileName : fileNames)
        if (!fileName.empty())
            keep(fileName);
    const std::string folderName = FeedFolderName(folder);
    for (size_t row = 0;; ++row) {
        const std::optional<DownloadEntry> entry = model_.DownloadAt(static_cast<long long>(row));
        if (!entry)
            break;
        if (SameNameIgnoringCase(FeedFolderName(entry->folder), folderName))
            keep(entry->fileName);
    }
    std::error_code error;
    for (const std::string& entry : found)
        if (!kept.contains(entry))
            std::filesystem::remove(std::filesystem::path(folderPath) / entry, error);
}

std::string UpdateEngine::NameAfterCheck(const SubscriptionPtr& s,
                                         const std::string& channelTitle) {
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

bool UpdateEngine::QueueDownload(const std::string& url, const std::string& folder,
                                 std::string fileName) {
    return QueueDownloadIn(model_.BaseDirectory(), url, folder, std::move(fileName));
}

bool UpdateEngine::QueueDownloadIn(const std::string& base, const std::string& url,
                                   const std::string& folder, std::string fileName,
                                   const std::unordered_set<std::string>* present,
                                   int64_t announcedSize) {
    if (fileName.empty())
        fileName = EnclosureNames({url}).NameOf(url);
    if ((present != nullptr && present->contains(fileName)) ||
        PathExists(FeedFilePath(base, folder, fileName)))
        return false;
    const size_t row = model_.AppendDownload(url, folder, fileName);
    events_.DownloadQueued({row, folder, fileName, url, announcedSize});
    return true;
}

void UpdateEngine::SetEntryState(size_t row, DownloadState state, const Failure& reason) {
    // Every cycle walks the whole queue; rows whose state stays as it is
    // (the completed ones of earlier cycles) are not told again.
    if (!model_.SetDownloadState(row, state))
        return;
    events_.DownloadStateChanged(row, state, reason);
}

void UpdateEngine::TellCheckEnded(const SubscriptionPtr& s, const std::string& url,
                                  const Failure& failure) {
    const Subscription values = model_.Values(s);
    events_.FeedCheckEnded({url, values.name, values.status, failure});
}

void UpdateEngine::PostError(int id, std::vector<std::string> args, Failure reason) {
    events_.MessagePosted({Message::Kind::Error, id, std::move(args), std::move(reason)});
}

CycleResult UpdateEngine::RunDownloads() {
    std::unique_ptr<HttpSession> session;
    for (size_t row = 0;; ++row) {
        if (cancel_)
            return CycleCancelled;
        const std::optional<DownloadStep> step = model_.DownloadStepAt(row);
        if (!step)
            break;
        const std::string& url = step->entry.url;
        const std::string& folder = step->entry.folder;
        const std::string& fileName = step->entry.fileName;
        const std::string& base = step->base;
        if (!session) {
            session = std::make_unique<HttpSession>(options_.http, &cancel_);
            if (!session->IsOpen()) {
                PostError(IDS_INTERNET_OPEN_FAILED, {}, {FailureKind::NoInternet});
                return CycleNoInternet;
            }
        }
        const std::string target = FeedFilePath(base, folder, fileName);
        if (PathExists(target)) {
            SetEntryState(row, DownloadState::Done);
            continue;
        }
        if (!FeedFolderName(folder).empty())
            CreateFolder(FeedFolderPath(base, folder));
        SetEntryState(row, DownloadState::Downloading);
        TransferOne(*session, row, url, target);
    }
    return CycleDone;
}

void UpdateEngine::TransferOne(HttpSession& session, size_t row, const std::string& url,
                               const std::string& target) {
    // The body goes to a partial file beside the target, which becomes the
    // target only when the transfer completed. Only a 200 carries the
    // enclosure (or a 206 with exactly the rest of a kept partial file): an
    // empty 204, a redirect without a target or an error page is not kept,
    // nor an empty body, nor more or fewer bytes than the reply announced.
    //
    // A transfer that the network ends (or quitting stops) keeps its partial
    // file when the first reply named the whole length and either usable
    // validators or none at all; the next attempt then asks for the rest,
    // under the condition that the resource is still the same where there
    // are validators, and takes the rest only where the reply's range starts
    // at the partial file's end and the whole length is the one recorded.
    // Any other failure leaves no file, and the next cycle queues the
    // enclosure again.
    PartialFile partial(target);
    std::optional<ResumeInfo> resume = partial.LoadResumeInfo();
    int64_t have = -1;
    if (resume && resume->url == url && MayResume(resume->validators) && resume->total > 0)
        have = partial.OpenExisting();
    if (!resume || have <= 0 || have >= resume->total) {
        partial.Discard(); // nothing to resume, or nothing that fits
        resume.reset();
        have = -1;
    }

    // `created`: the partial file holds the beginning of this resource;
    // `resumable`: its resume information is beside it.
    bool created = resume.has_value(), resumable = resume.has_value();
    bool notTheFile = false, createFailed = false, writeFailed = false, refetch = false;
    bool wrongLength = false; // more bytes than announced, or a 206 that does not add up
    int64_t length = 0, received = 0, reported = 0;
    int lastPercent = 0;
    Failure refused; // why a reply was not taken, or the file not written

    auto onResponse = [&](const HttpResult& response) {
        int64_t offset = 0;
        if (resume) {
            switch (DecideResume(response, have, resume->total)) {
            case ResumeAction::Append:
                // The range is exactly the rest; a body announced otherwise
                // does not carry it.
                if (response.contentLength >= 0 && response.contentLength != resume->total - have) {
                    wrongLength = true;
                    refused = {FailureKind::CutShort};
                    return false;
                }
                offset = have;
                break;
            case ResumeAction::StartOver:
                resume.reset(); // the whole resource comes with this 200
                break;
            case ResumeAction::Refetch:
                refetch = true;
                return false;
            case ResumeAction::Fail:
                notTheFile = true;
                refused = {FailureKind::HttpStatus, response.status, response.reasonPhrase};
                return false;
            }
        }
        if (resume) {
            length = resume->total;
        } else {
            if (response.status != 200 || response.contentLength == 0) {
                notTheFile = true; // an empty body is no episode either
                refused = response.status != 200
                              ? Failure{FailureKind::HttpStatus, response.status, response.reasonPhrase}
                              : Failure{FailureKind::EmptyReply};
                return false;
            }
            length = response.contentLength > 0 ? response.contentLength : 0;
            created = partial.Create();
            createFailed = !created;
            if (!created) {
                refused = FileFailure(errno);
                return false;
            }
            // What a later attempt needs to ask for the rest.
            resumable = MayResume(response.validators) && response.contentLength > 0 &&
                        partial.StoreResumeInfo({url, response.validators, response.contentLength});
        }
        received = reported = offset;
        lastPercent = length != 0 ? static_cast<int>(static_cast<double>(offset) * 100.0 /
                                                     static_cast<double>(length))
                                  : 0;
        events_.DownloadProgress(row, received, length);
        return true;
    };
    auto onData = [&](std::string_view chunk) {
        if (length != 0 && static_cast<int64_t>(chunk.size()) > length - received) {
            wrongLength = true; // only the announced bytes belong to the file
            refused = {FailureKind::CutShort};
            return false;
        }
        if (!partial.Write(chunk)) {
            writeFailed = true;
            refused = FileFailure(errno);
            return false;
        }
        received += static_cast<int64_t>(chunk.size());
        // Told at each whole percent and every 256 KiB, not per chunk.
        const int percent = length != 0 ? static_cast<int>(static_cast<double>(received) * 100.0 /
                                                           static_cast<double>(length))
                                        : lastPercent;
        if (percent != lastPercent || received - reported >= (int64_t{1} << 18)) {
            lastPercent = percent;
            reported = received;
            events_.DownloadProgress(row, received, length);
        }
        return true;
    };

    HttpRequest request;
    if (resume) {
        request.resumeFrom = have;
        request.resumeIf = resume->validators;
    }
    HttpResult result = session.Fetch(url, request, onResponse, onData);
    if (refetch && !cancel_) {
        // The kept beginning does not fit what the server has now: the whole
        // resource, from the start.
        partial.Discard();
        resume.reset();
        created = resumable = refetch = false;
        result = session.Fetch(url, HttpRequest{}, onResponse, onData);
    }

    // `complete` holds only when at least the announced length arrived; the
    // file must hold exactly that length, or, where none was announced,
    // something at all.
    bool success = created && !refetch && result.opened && result.Complete() && !notTheFile &&
                   !wrongLength && !writeFailed && !cancel_ &&
                   (length != 0 ? received == length : received > 0);
    if (success) {
        switch (partial.CommitToTarget()) {
        case PartialFile::Commit::Done:
            break;
        case PartialFile::Commit::TargetExists:
            // Something took the name meanwhile: it is kept, and it counts
            // as the enclosure, as a file found there before would.
            break;
        case PartialFile::Commit::Failed:
            success = false;
            writeFailed = true;
            refused = FileFailure(errno);
            break;
        }
    } else if (created && resumable && !writeFailed && !notTheFile && !refetch && !wrongLength &&
               (result.NetworkFailure() || cancel_)) {
        partial.Keep();
    } else {
        partial.Discard();
    }
    if (cancel_)
        return;

    if (success) {
        events_.DownloadProgress(row, received, length);
        SetEntryState(row, DownloadState::Done);
        return;
    }
    // Why it failed: what the reply or the file said first, else what ended
    // the request, else a body that came short (or empty, where no length
    // was announced).
    Failure reason = refused ? refused : result.failure;
    if (!reason)
        reason = {length != 0 || received > 0 ? FailureKind::CutShort : FailureKind::EmptyReply};
    if (!result.opened && !result.Cancelled())
        PostError(IDS_COULD_NOT_OPEN, {ShownUrl(url)}, reason);
    else if (createFailed || writeFailed)
        PostError(IDS_ERROR_CREATING_FILE, {target}, reason);
    SetEntryState(row, DownloadState::Failed, reason);
}

} // namespace tessarine
