#pragma once
// The transfer walk of a cycle: every queued entry whose file is missing is
// fetched, one after another in queue order, over one HTTP session; an entry
// whose file is there counts as done. A transfer cut off by the network keeps
// its partial file, and the next attempt asks for the rest (EnclosureTransfer).
// A cancelled entry is passed over; one cancelled during its transfer stops
// there, keeping what arrived as a cut-off transfer does, and the walk goes
// on with the next.

#include "core/model/LibraryEvents.h"
#include "core/model/SharedModel.h"
#include "core/net/HttpClient.h"
#include "core/update/EngineOptions.h"
#include "core/update/TransferStop.h"

#include <atomic>
#include <cstddef>

namespace tessarine {

class EpisodeLedger;

class DownloadRun {
public:
    // `episodes`: the episode library told of every download's end; none
    // without a store. `stop` stops a single transfer (and every one once
    // `cancel` is set).
    DownloadRun(SharedModel& model, LibraryEvents& events, const HttpOptions& http,
                const std::atomic<bool>& cancel, TransferStop& stop,
                EpisodeLedger* episodes = nullptr);

    CycleResult Run();

private:
    // Rows whose state stays as it is (the completed ones of earlier cycles)
    // are not told again: every cycle walks the whole queue.
    void SetEntryState(size_t row, DownloadState state, const Failure& reason = {});
    // The episode library learns that the step's file is there, or why it
    // could not be fetched.
    void RecordDone(const DownloadStep& step);
    void RecordFailed(const DownloadStep& step, const Failure& reason);
    // Tells that the episodes of the entry's podcast changed.
    void TellEpisodesChanged(const DownloadEntry& entry);
    // The transfer of the waiting entry at `row` into `target`; false when
    // the cycle was cancelled meanwhile.
    bool Transfer(HttpSession& session, size_t row, const DownloadStep& step,
                  const std::string& target, bool replace);

    SharedModel& model_;
    LibraryEvents& events_;
    const HttpOptions& http_;
    const std::atomic<bool>& cancel_;
    TransferStop& stop_;
    EpisodeLedger* const episodes_;
};

} // namespace tessarine
