#include "core/update/DownloadRun.h"

#include "core/files/BaseDirectory.h"
#include "core/store/EpisodeLedger.h"
#include "core/update/EnclosureTransfer.h"
#include "core/util/Strings.h"

#include <memory>
#include <optional>

namespace tessarine {

DownloadRun::DownloadRun(SharedModel& model, LibraryEvents& events, const HttpOptions& http,
                         const std::atomic<bool>& cancel, EpisodeLedger* episodes)
    : model_(model), events_(events), http_(http), cancel_(cancel), episodes_(episodes) {}

CycleResult DownloadRun::Run() {
    std::unique_ptr<HttpSession> session;
    for (size_t row = 0;; ++row) {
        if (cancel_)
            return CycleCancelled;
        const std::optional<DownloadStep> step = model_.DownloadStepAt(row);
        if (!step)
            break;
        const DownloadEntry& entry = step->entry;
        if (!session) {
            session = std::make_unique<HttpSession>(http_, &cancel_);
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
        SetEntryState(row, DownloadState::Downloading);
        const std::optional<EnclosureTransfer::Result> result =
            EnclosureTransfer(*session, events_, cancel_, row, entry.url, target, replace).Run();
        if (!result)
            continue; // stopped: the cycle ends above
        if (result->outcome == EnclosureTransfer::Outcome::Done) {
            SetEntryState(row, DownloadState::Done);
            RecordDone(*step);
        } else {
            SetEntryState(row, DownloadState::Failed, result->reason);
            RecordFailed(*step, result->reason);
        }
    }
    return CycleDone;
}

void DownloadRun::RecordDone(const DownloadStep& step) {
    const DownloadEntry& entry = step.entry;
    if (episodes_ == nullptr || entry.episode.podcast == 0)
        return;
    const std::string folder = FeedFolderName(entry.folder);
    episodes_->Downloaded(step.base, entry.episode.podcast, entry.episode.key,
                          folder.empty() ? entry.fileName : folder + '/' + entry.fileName);
}

void DownloadRun::RecordFailed(const DownloadStep& step, const Failure& reason) {
    const DownloadEntry& entry = step.entry;
    if (episodes_ == nullptr || entry.episode.podcast == 0)
        return;
    // Kept as data for whoever lists the episode: the kind of failure and
    // what the server or the system said.
    std::string text = FailureKindName(reason.kind);
    if (reason.kind == FailureKind::HttpStatus)
        text += ' ' + std::to_string(reason.httpStatus);
    if (!reason.detail.empty())
        text += ": " + reason.detail;
    episodes_->Failed(step.base, entry.episode.podcast, entry.episode.key, text);
}

void DownloadRun::SetEntryState(size_t row, DownloadState state, const Failure& reason) {
    if (!model_.SetDownloadState(row, state))
        return;
    events_.DownloadStateChanged(row, state, reason);
}

} // namespace tessarine
