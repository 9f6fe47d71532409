#include "core/update/DownloadRun.h"

#include "core/files/BaseDirectory.h"
#include "core/update/EnclosureTransfer.h"
#include "core/util/Strings.h"

#include <memory>
#include <optional>

namespace tessarine {

DownloadRun::DownloadRun(SharedModel& model, LibraryEvents& events, const HttpOptions& http,
                         const std::atomic<bool>& cancel)
    : model_(model), events_(events), http_(http), cancel_(cancel) {}

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
        const std::string target = FeedFilePath(step->base, entry.folder, entry.fileName);
        if (PathExists(target)) {
            SetEntryState(row, DownloadState::Done);
            continue;
        }
        if (!FeedFolderName(entry.folder).empty())
            CreateFolder(FeedFolderPath(step->base, entry.folder));
        SetEntryState(row, DownloadState::Downloading);
        const std::optional<EnclosureTransfer::Result> result =
            EnclosureTransfer(*session, events_, cancel_, row, entry.url, target).Run();
        if (!result)
            continue; // stopped: the cycle ends above
        if (result->outcome == EnclosureTransfer::Outcome::Done)
            SetEntryState(row, DownloadState::Done);
        else
            SetEntryState(row, DownloadState::Failed, result->reason);
    }
    return CycleDone;
}

void DownloadRun::SetEntryState(size_t row, DownloadState state, const Failure& reason) {
    if (!model_.SetDownloadState(row, state))
        return;
    events_.DownloadStateChanged(row, state, reason);
}

} // namespace tessarine
