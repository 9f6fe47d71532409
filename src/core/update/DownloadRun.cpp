#include "core/update/DownloadRun.h"

#include "core/files/BaseDirectory.h"
#include "core/store/EpisodeLedger.h"
#include "core/update/EnclosureTransfer.h"
#include "core/util/Strings.h"

#include <memory>
#include <optional>

namespace tessarine {

DownloadRun::DownloadRun(SharedModel& model, LibraryEvents& events, const HttpOptions& http,
                         const std::atomic<bool>& cancel, TransferStop& stop,
                         EpisodeLedger* episodes)
    : model_(model), events_(events), http_(http), cancel_(cancel), stop_(stop),
      episodes_(episodes) {}

CycleResult DownloadRun::Run() {
    std::unique_ptr<HttpSession> session;
    for (size_t row = 0;; ++row) {
        if (cancel_)
            return CycleCancelled;
        const std::optional<DownloadStep> step = model_.DownloadStepAt(row);
        if (!step)
            break;
        const DownloadEntry& entry = step->entry;
        if (entry.state == DownloadState::Cancelled || entry.state == DownloadState::Removed)
            continue;
        if (!session) {
            session = std::make_unique<HttpSession>(http_, &stop_.Flag());
            if (!session->IsOpen()) {
                events_.MessagePosted({Message::Kind::Error,
                                       IDS_INTERNET_OPEN_FAILED,
                                       {},
                                       {FailureKind::NoInternet}});
                return CycleNoInternet;
            }
        }
        // An entry of an earlier cycle may no longer be wanted: the episode
        // was removed by a clean-up or deleted by the user since.
        const EpisodeLedger::Want want =
            episodes_ != nullptr && entry.episode.podcast != 0
                ? episodes_->Wanted(step->base, entry.episode.podcast, entry.episode.key)
                : EpisodeLedger::Want::Fetch;
        if (want == EpisodeLedger::Want::Skip)
            continue;
        const bool replace = want == EpisodeLedger::Want::Replace;
        const std::string target = FeedFilePath(step->base, entry.folder, entry.fileName);
        if (!replace && PathExists(target)) {
            SetEntryState(row, DownloadState::Done);
            RecordDone(*step);
            continue;
        }
        if (!FeedFolderName(entry.folder).empty())
            CreateFolder(FeedFolderPath(step->base, entry.folder));
        if (!Transfer(*session, row, *step, target, replace))
            continue; // stopped: the cycle ends above
    }
    return CycleDone;
}

bool DownloadRun::Transfer(HttpSession& session, size_t row, const DownloadStep& step,
                           const std::string& target, bool replace) {
    stop_.Begin(row);
    if (!model_.BeginDownload(row)) { // cancelled or taken off the list meanwhile
        stop_.End();
        return true;
    }
    events_.DownloadStateChanged(row, DownloadState::Downloading, {});
    const std::optional<EnclosureTransfer::Result> result =
        EnclosureTransfer(session, events_, stop_.Flag(), row, step.entry.url, target, replace)
            .Run();
    const bool stopped = stop_.End();
    if (!result && !stopped)
        return false;
    const bool done = result && result->outcome == EnclosureTransfer::Outcome::Done;
    const Failure reason = result ? result->reason : Failure{FailureKind::Cancelled};
    // A download cancelled while its transfer ran stays cancelled unless its
    // file is complete: what it ended in is told here, after its start.
    const DownloadState state =
        model_.EndDownload(row, done ? DownloadState::Done : DownloadState::Failed);
    if (state == DownloadState::Done) {
        events_.DownloadStateChanged(row, state, {});
        RecordDone(step);
    } else if (state == DownloadState::Cancelled) {
        events_.DownloadStateChanged(row, state, {FailureKind::Cancelled});
    } else {
        events_.DownloadStateChanged(row, state, reason);
        RecordFailed(step, reason);
    }
    return true;
}

void DownloadRun::RecordDone(const DownloadStep& step) {
    const DownloadEntry& entry = step.entry;
    if (episodes_ == nullptr || entry.episode.podcast == 0)
        return;
    const std::string folder = FeedFolderName(entry.folder);
    episodes_->Downloaded(step.base, entry.episode.podcast, entry.episode.key,
                          folder.empty() ? entry.fileName : folder + '/' + entry.fileName);
    TellEpisodesChanged(entry);
}

void DownloadRun::TellEpisodesChanged(const DownloadEntry& entry) {
    if (const SubscriptionPtr record = entry.subscription.lock())
        events_.EpisodesChanged(model_.Values(record).url);
}

void DownloadRun::RecordFailed(const DownloadStep& step, const Failure& reason) {
    const DownloadEntry& entry = step.entry;
    if (episodes_ == nullptr || entry.episode.podcast == 0)
        return;
    // Kept as data for whoever lists the episode: the kind of failure and
    // what the server or the system said.
    episodes_->Failed(step.base, entry.episode.podcast, entry.episode.key, FailureRecord(reason));
    TellEpisodesChanged(entry);
}

void DownloadRun::SetEntryState(size_t row, DownloadState state, const Failure& reason) {
    if (!model_.SetDownloadState(row, state))
        return;
    events_.DownloadStateChanged(row, state, reason);
}

} // namespace tessarine
