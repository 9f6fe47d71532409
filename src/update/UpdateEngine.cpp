#include "update/UpdateEngine.h"

#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "update/EnclosureNames.h"
#include "update/FeedArchive.h"
#include "update/FeedReader.h"
#include "update/PartialFile.h"
#include "update/UrlReference.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace tessarine {
namespace {

std::string SizeText(int64_t length) {
    return FormatResNumber(IDS_SIZE_FORMAT, static_cast<double>(length) / 1048576.0);
}

bool StillListed(const SubscriptionList& list, const SubscriptionPtr& record) {
    const auto& items = list.Items();
    return std::find(items.begin(), items.end(), record) != items.end();
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
    bool due = false;
    {
        std::lock_guard lock(model_.mutex);
        for (const SubscriptionPtr& s : model_.subscriptions.Items()) {
            if (s->status != NewlyAdded)
                s->status = CheckPending;
            due = true;
        }
        if (due)
            model_.checkAllRequested = true;
    }
    if (due)
        RequestCycle();
    return due;
}

void UpdateEngine::OnUpdateThisPodcast(const SubscriptionPtr& record) {
    if (!record)
        return;
    {
        std::lock_guard lock(model_.mutex);
        record->status = CheckPending;
    }
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
        const int result = CheckCycleProc();
        ++cyclesRun_;
        lock.lock();
        if (result == 0 && !pending_ && !stopping_) {
            lock.unlock();
            ApplyQuitRule();
            lock.lock();
        }
        running_ = pending_;
        if (!running_)
            workerIdle_.notify_all();
    }
    running_ = false;
    workerIdle_.notify_all();
}

void UpdateEngine::ApplyQuitRule() {
    bool quit;
    {
        std::lock_guard lock(model_.mutex);
        quit = model_.checkAllRequested && (checkAndQuit_ || model_.options.quitComplete != 0);
    }
    if (quit)
        view_.PostCommand(ID_QUIT);
}

int UpdateEngine::CheckCycleProc() {
    bool anyQueued = false;
    std::unique_ptr<HttpSession> session;

    std::vector<SubscriptionPtr> walk;
    {
        std::lock_guard lock(model_.mutex);
        walk = model_.subscriptions.Items();
    }

    for (const SubscriptionPtr& s : walk) {
        if (cancel_)
            return 1;
        {
            // Due are the records still listed whose status is newly added or
            // pending when the walk reaches them.
            std::lock_guard lock(model_.mutex);
            if ((s->status != NewlyAdded && s->status != CheckPending) ||
                !StillListed(model_.subscriptions, s))
                continue;
        }
        if (!session) {
            session = std::make_unique<HttpSession>(options_.http, &cancel_);
            if (!session->IsOpen()) {
                view_.ShowError(LoadResString(IDS_INTERNET_OPEN_FAILED));
                return -1;
            }
        }

        std::string url, nameBefore, base;
        {
            std::lock_guard lock(model_.mutex);
            s->status = Checking;
            url = s->url;
            nameBefore = s->name;
            base = model_.baseDirectory;
        }
        view_.RefreshSubscriptionRows();

        std::string body;
        const HttpResult fetched = session->FetchToString(url, body, options_.maxFeedBytes);
        if (cancel_)
            return 1;

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
            {
                std::lock_guard lock(model_.mutex);
                s->status = Error;
            }
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
        const std::string archivePath = FeedFilePath(base, nameBefore, kArchiveFileName);
        FeedArchive archive;
        archive.Open(archivePath);
        bool feedQueued = false;
        for (const FeedItem& item : feed.items) {
            if (cancel_)
                return 1;
            const bool queued =
                QueueDownload(item.enclosureUrl, name, fileNames.NameOf(item.enclosureUrl));
            // A new archive is not searched: every item counts as unrecorded.
            if (archive.IsNew() || !archive.Lookup(item.enclosureUrl))
                archive.Append(item.title, item.description, item.enclosureUrl, item.pubDate);
            if (queued)
                feedQueued = anyQueued = true;
        }
        archive.Save(archivePath);

        {
            std::lock_guard lock(model_.mutex);
            s->name = name;
            s->lastChecked = OleDateTime::Now();
            s->status = feedQueued ? NewItemsFound : NoNewItems;
        }
        view_.RefreshSubscriptionRows();
        model_.SaveSettings();
    }
    session.reset();

    if (anyQueued)
        return RunDownloads();
    return 0;
}

std::string UpdateEngine::NameAfterCheck(const SubscriptionPtr& s,
                                         const std::string& channelTitle) {
    // A feed never empties the name: without a title the subscription keeps
    // its own, and one that has none yet is named after its feed's URL.
    if (!channelTitle.empty())
        return channelTitle;
    std::lock_guard lock(model_.mutex);
    if (!s->name.empty() && s->name != LoadResString(IDS_NEW_PODCAST))
        return s->name;
    return NameFromFeedUrl(s->url, [&](const std::string& name) {
        const std::string folder = FeedFolderName(name);
        for (const SubscriptionPtr& other : model_.subscriptions.Items())
            if (other != s && SameNameIgnoringCase(FeedFolderName(other->name), folder))
                return true;
        return false;
    });
}

bool UpdateEngine::QueueDownload(const std::string& url, const std::string& folder,
                                 std::string fileName) {
    if (fileName.empty())
        fileName = EnclosureNames({url}).NameOf(url);
    std::string base;
    {
        std::lock_guard lock(model_.mutex);
        base = model_.baseDirectory;
    }
    if (PathExists(FeedFilePath(base, folder, fileName)))
        return false;
    size_t row;
    {
        std::lock_guard lock(model_.mutex);
        row = model_.downloads.Append(url, folder, fileName);
    }
    view_.InsertDownloadRow(row, {fileName, "", "0%", LoadResString(IDS_WAITING)});
    return true;
}

void UpdateEngine::SetEntryState(size_t row, DownloadState state, int textId) {
    {
        // Every cycle walks the whole queue; rows whose state stays as it is
        // (the completed ones of earlier cycles) are not sent to the list again.
        std::lock_guard lock(model_.mutex);
        DownloadEntry* entry = model_.downloads.At(static_cast<long long>(row));
        if (entry != nullptr) {
            if (entry->state == state)
                return;
            entry->state = state;
        }
    }
    view_.SetDownloadCell(row, ColumnStatus, LoadResString(textId));
}

int UpdateEngine::RunDownloads() {
    std::unique_ptr<HttpSession> session;
    for (size_t row = 0;; ++row) {
        if (cancel_)
            return 1;
        std::string url, folder, fileName, base;
        {
            std::lock_guard lock(model_.mutex);
            const DownloadEntry* entry = model_.downloads.At(static_cast<long long>(row));
            if (entry == nullptr)
                break;
            url = entry->url;
            folder = entry->folder;
            fileName = entry->fileName;
            base = model_.baseDirectory;
        }
        if (!session) {
            session = std::make_unique<HttpSession>(options_.http, &cancel_);
            if (!session->IsOpen()) {
                view_.ShowError(LoadResString(IDS_INTERNET_OPEN_FAILED));
                return -1;
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
    return 0;
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
    int64_t length = 0, received = 0;
    int lastPercent = 0;

    auto onResponse = [&](long status, int64_t contentLength) {
        if (status != 200) {
            notTheFile = true;
            return false;
        }
        length = contentLength > 0 ? contentLength : 0;
        {
            std::lock_guard lock(model_.mutex);
            if (DownloadEntry* entry = model_.downloads.At(static_cast<long long>(row)))
                entry->length = length;
        }
        view_.SetDownloadCell(row, ColumnSize, SizeText(length));
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
        {
            std::lock_guard lock(model_.mutex);
            if (DownloadEntry* entry = model_.downloads.At(static_cast<long long>(row)))
                entry->received = received;
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
    SetEntryState(row, success ? DownloadState::Done : DownloadState::Failed,
                  success ? IDS_COMPLETED : IDS_FAILED);
}

} // namespace tessarine
