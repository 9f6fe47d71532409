#pragma once
// What the library tells a front end: facts about what happened, never text
// to show, a column or a translated word. Each front end turns them into its
// own cells, lines and texts (the window's table models, the command line's
// lines, a test's assertions).
//
// Sent from the worker thread during a cycle and from the calling thread for
// the library's own operations. The library never waits for a receiver and
// never calls one while it holds a lock: the window queues the events and
// applies them in order on its own thread.

#include "core/model/DownloadQueue.h"
#include "core/util/Failure.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessarine {

// A message for the user: the id of its text in the string tables and the
// arguments for the text's "%s" in turn (already in the form shown, such as a
// URL with its password masked). `reason`, when known, says as data what lay
// behind it; the text does not depend on it.
struct Message {
    enum class Kind {
        Error,  // something failed
        Notice, // the program did something for the user that is no failure
    };
    Kind kind = Kind::Error;
    int id = 0;
    std::vector<std::string> args{};
    Failure reason{};
};

// How a feed's check ended.
struct FeedCheckEnd {
    std::string url;     // the subscription's address when its check began
    std::string name;    // its name after the check
    int32_t status = 0;  // its status code after the check (SubscriptionStatus)
    Failure failure{};   // why the check failed (status Error); none otherwise
};

// A download was added to the queue at `index` (the queue only grows while
// the program runs; a new base directory starts it empty again). Told again
// for an index already listed, the download waits again in its row: a check
// found a failed or cancelled one again.
struct QueuedDownload {
    size_t index = 0;
    std::string podcast;   // the feed's title, whose folder the file goes into
    std::string fileName;  // the file's name in that folder
    std::string url;
    int64_t announcedSize = -1; // what the feed announced for it; -1 when nothing
};

// The download at `index` is now in `state` (`reason`: why a Failed one failed).
struct DownloadStateChange {
    size_t index = 0;
    DownloadState state = DownloadState::Waiting;
    Failure reason{};
};
// Bytes of the download at `index` so far, of `total` (0: not announced).
struct DownloadBytes {
    size_t index = 0;
    int64_t received = 0;
    int64_t total = 0;
};

class LibraryEvents {
public:
    virtual ~LibraryEvents() = default;

    // The subscription list changed as a whole or in a way no event below
    // tells: a record was added, removed, renamed or given another address,
    // the list was loaded, or the base directory changed.
    virtual void SubscriptionsChanged() = 0;
    // The check of the subscription at `url` began (its status is Checking).
    virtual void FeedCheckBegan(const std::string& url) = 0;
    virtual void FeedCheckEnded(const FeedCheckEnd& end) = 0;

    virtual void DownloadQueued(const QueuedDownload& download) = 0;
    // The download at `index` is now in `state`; `reason` says why a Failed one
    // failed (none for the other states).
    virtual void DownloadStateChanged(size_t index, DownloadState state,
                                      const Failure& reason) = 0;
    // Bytes of the download at `index` so far, of `total` (0 when the server
    // announced no length). Sent when the server answers (a resumed download
    // starts beyond 0), whenever the whole percentage changes, at least every
    // 256 KiB, and once more when it completes.
    virtual void DownloadProgress(size_t index, int64_t received, int64_t total) = 0;

    virtual void MessagePosted(const Message& message) = 0;

    // What the episode store records of the podcast at `url` changed: a
    // check recorded its episodes, a download of one ended, or the user
    // changed some through the library. Nothing for a front end that does
    // not list episodes.
    virtual void EpisodesChanged(const std::string& url) { (void)url; }

    // The worker has ended its cycles and nothing is pending. `quit`: the
    // quit rule says that the program ends now (once the user has read the
    // messages still open).
    virtual void CycleEnded(bool quit) = 0;
};

} // namespace tessarine
