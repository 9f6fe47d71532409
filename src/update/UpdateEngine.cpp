#include "update/UpdateEngine.h"

#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "update/EnclosureNames.h"
#include "update/FeedArchive.h"
#include "update/FeedReader.h"
#include "update/PartialFile.h"
#include "update/UrlReference.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace tessarine {
namespace {

std::string SizeText(int64_t length) {
    return FormatResNumber(IDS_SIZE_FORMAT, static_cast<double>(length) / 1048576.0);
}

} // namespace

UpdateEngine::UpdateEngine(SharedModel& model, EngineView& view, bool checkAndQuit,
                           EngineOptions options)
    : model_(model), view_(view), checkAndQuit_(checkAndQuit), options_(std::move(options)) {}

UpdateEngine::~UpdateEngine() { Shutdown(); }

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
        ++cyclesRun_;
        lock.lock();
        if (!pending_ && !stopping_) {
            lock.unlock();
            // The quit rule: not after a cancelled cycle or one whose
            // transfers could not open an internet handle.
            view_.CycleEnded(result == CycleDone && model_.QuitWanted(checkAndQuit_));
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
    std::unique_ptr<HttpSession> session;

    const std::vector<SubscriptionPtr> walk = model_.Subscriptions();
    for (const SubscriptionPtr& s : walk) {
        if (cancel_)
            return CycleCancelled;
        // Due are the records still listed whose status is newly added or
        // pending when the walk reaches them.
        if (!model_.IsDue(s))
            continue;
        if (!session) {
            session = std::make_unique<HttpSession>(options_.http, &cancel_);
            if (!session->IsOpen()) {
                view_.ShowError(LoadResString(IDS_INTERNET_OPEN_FAILED));
                return CycleNoInternet;
            }
        }

        // The base directory is read once for the whole step: the archive and
        // every enclosure of this feed are looked for under the same one.
        const CheckStart check = model_.BeginCheck(s);
        const std::string& url = check.url;
        const std::string& base = check.base;
        view_.RefreshSubscriptionRows();

        std::string body;
        const HttpResult fetched = session->FetchToString(url, body, options_.maxFeedBytes);
        if (cancel_)
            return CycleCancelled;

        // An error status, a transfer cut short, a document that is not
        // well-formed or not a feed is a failure like a URL that cannot be
        // opened: the name, the date and the settings file stay as they were.
        FeedDocument feed;
        bool ok = fetched.opened && fetched.complete && !fetched.tooLarge &&
                  fetched.status >= 200 && fetched.status < 300;
        if (ok) {
            feed = ReadFeed(body);
            ok = feed.wellFormed && feed.hasChannel;
        }
        body.clear();
        body.shrink_to_fit();
        if (!ok) {
            model_.FailCheck(s);
            view_.RefreshSubscriptionRows();
            view_.ShowError(FormatResString(IDS_COULD_NOT_OPEN, url));
            continue;
        }

        // Relative enclosure URLs are meant from where the feed was found.
        const std::string& feedUrl = fetched.finalUrl.empty() ? url : fetched.finalUrl;
        std::vector<std::string> enclosureUrls;
        for (FeedItem& item : feed.items) {
            item.enclosureUrl = ResolveUrlReference(feedUrl, item.enclosureUrl);
            enclosureUrls.push_back(item.enclosureUrl);
        }
        const EnclosureNames fileNames(enclosureUrls);
        const std::string name = NameAfterCheck(s, feed.channelTitle);

        // The archive lives in the folder of the name from before this check.
        const std::string archivePath = FeedFilePath(base, check.nameBefore, kArchiveFileName);
        FeedArchive archive;
        archive.Open(archivePath);
        bool feedQueued = false;
        for (const FeedItem& item : feed.items) {
            if (cancel_)
                return CycleCancelled;
            const bool queued = QueueDownloadIn(base, item.enclosureUrl, name,
                                                fileNames.NameOf(item.enclosureUrl));
            // A new archive is not searched: every item counts as unrecorded.
            if (archive.IsNew() || !archive.Lookup(item.enclosureUrl))
                archive.Append(item.title, item.description, item.enclosureUrl, item.pubDate);
            if (queued)
                feedQueued = anyQueued = true;
        }
        archive.Save(archivePath);

        model_.FinishCheck(s, name, feedQueued);
        view_.RefreshSubscriptionRows();
        model_.SaveSettings();
    }
    session.reset();

    if (anyQueued)
        return RunDownloads();
    return CycleDone;
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
                                   const std::string& folder, std::string fileName) {
    if (fileName.empty())
        fileName = EnclosureNames({url}).NameOf(url);
    if (PathExists(FeedFilePath(base, folder, fileName)))
        return false;
    const size_t row = model_.AppendDownload(url, folder, fileName);
    view_.InsertDownloadRow(row, {fileName, "", "0%", LoadResString(IDS_WAITING)});
    return true;
}

void UpdateEngine::SetEntryState(size_t row, DownloadState state, int textId) {
    // Every cycle walks the whole queue; rows whose state stays as it is
    // (the completed ones of earlier cycles) are not sent to the list again.
    if (!model_.SetDownloadState(row, state))
        return;
    view_.SetDownloadCell(row, ColumnStatus, LoadResString(textId));
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
                view_.ShowError(LoadResString(IDS_INTERNET_OPEN_FAILED));
                return CycleNoInternet;
            }
        }
        const std::string target = FeedFilePath(base, folder, fileName);
        if (PathExists(target)) {
            SetEntryState(row, DownloadState::Done, IDS_COMPLETED);
            continue;
        }
        if (!FeedFolderName(folder).empty())
            CreateFolder(FeedFolderPath(base, folder));
        SetEntryState(row, DownloadState::Downloading, IDS_DOWNLOADING);
        TransferOne(*session, row, url, target);
    }
    return CycleDone;
}

void UpdateEngine::TransferOne(HttpSession& session, size_t row, const std::string& url,
                               const std::string& target) {
    // The body goes to a partial file beside the target, which becomes the
    // target only when the transfer completed; a failure leaves no file, so
    // the next cycle queues the enclosure again. Only a 200 carries the
    // enclosure: an empty 204, a redirect without a target or an error page
    // is not kept.
    PartialFile partial(target);
    bool created = false, notTheFile = false, createFailed = false, writeFailed = false;
    int64_t length = 0, received = 0, reported = 0;
    int lastPercent = 0;

    auto onResponse = [&](long status, int64_t contentLength) {
        if (status != 200) {
            notTheFile = true;
            return false;
        }
        length = contentLength > 0 ? contentLength : 0;
        view_.SetDownloadCell(row, ColumnSize, SizeText(length));
        view_.DownloadProgress(row, 0, length);
        created = partial.Create();
        createFailed = !created;
        return created;
    };
    auto onData = [&](std::string_view chunk) {
        if (!partial.Write(chunk)) {
            writeFailed = true;
            return false;
        }
        received += static_cast<int64_t>(chunk.size());
        // Bytes for front ends that show them: every 256 KiB, not per chunk.
        if (received - reported >= (int64_t{1} << 18)) {
            reported = received;
            view_.DownloadProgress(row, received, length);
        }
        if (length != 0) {
            const int percent = static_cast<int>(static_cast<double>(received) * 100.0 /
                                                 static_cast<double>(length));
            if (percent != lastPercent) {
                lastPercent = percent;
                view_.SetDownloadCell(row, ColumnProgress, std::to_string(percent) + "%");
            }
        }
        return true;
    };

    const HttpResult result = session.Fetch(url, onResponse, onData);

    // `complete` holds only when at least the announced length arrived.
    bool success =
        created && result.opened && result.complete && !notTheFile && !writeFailed && !cancel_;
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
            break;
        }
    } else {
        partial.Discard();
    }
    if (cancel_)
        return;

    if (!success) {
        if (!result.opened && !result.cancelled)
            view_.ShowError(FormatResString(IDS_COULD_NOT_OPEN, url));
        else if (createFailed || writeFailed)
            view_.ShowError(FormatResString(IDS_ERROR_CREATING_FILE, target));
    }
    if (success)
        view_.DownloadProgress(row, received, length);
    SetEntryState(row, success ? DownloadState::Done : DownloadState::Failed,
                  success ? IDS_COMPLETED : IDS_FAILED);
}

} // namespace tessarine
