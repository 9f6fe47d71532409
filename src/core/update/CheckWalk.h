#pragma once
// The check walk of one cycle: every due subscription in list order is
// fetched (a few ahead of the walk, see FeedLookahead), its feed read or
// taken from the cache, its items recorded in the feed's archive, the
// enclosures whose files are missing queued, partial files no longer wanted
// removed, and the record updated. The settings file is written at a
// bounded rate along the way (CycleSaves) and once at the walk's end.
//
// A feed the server reports unchanged is taken from the cache exactly as if
// it had been fetched again; everything the user and the files see still
// happens in list order.

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/FeedCache.h"
#include "core/model/LibraryEvents.h"
#include "core/model/SharedModel.h"
#include "core/store/EpisodeLedger.h"
#include "core/update/ArchiveMemo.h"
#include "core/update/ArchiveUpdate.h"
#include "core/update/CycleSaves.h"
#include "core/update/EnclosureQueue.h"
#include "core/update/EngineOptions.h"
#include "core/update/FeedLookahead.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace tessarine {

class CheckWalk {
public:
    // `memo` outlives the walk: it is the engine's for all its cycles.
    CheckWalk(SharedModel& model, LibraryEvents& events, const EngineOptions& options,
              const std::atomic<bool>& cancel, ArchiveMemo& memo);
    ~CheckWalk(); // how the checks ended goes into the store
    CheckWalk(const CheckWalk&) = delete;
    CheckWalk& operator=(const CheckWalk&) = delete;

    // Checks every due subscription: CycleDone once the walk reached the end
    // (its changes saved), else why it stopped.
    CycleResult Run();
    // Whether the walk queued any enclosure.
    bool AnyQueued() const { return anyQueued_; }

private:
    // How reading a feed's document ended.
    enum class Reading {
        Read,      // the feed's document is there to record
        Ended,     // the step ends here: the check failed, or the record went
        Cancelled, // the cycle was cancelled
    };

    // Where a feed that was read says the podcast lives now.
    struct Moves {
        std::string redirected{}; // reached over permanent redirects only
        std::string named{};      // named by the document
    };

    bool OpenLookahead();
    // The step of the due record at `at`; false when the cycle was cancelled.
    bool CheckFeed(size_t at);
    Reading ReadDocument(size_t at, const CheckStart& check, FeedDocument& feed, Moves& moves);
    // The reply for the record at `at` from `url`; none when the cycle was
    // cancelled.
    std::optional<FeedReply> TakeReply(size_t at, const std::string& url);
    // A whole 2xx reply from `url` read into `feed`; false when it is no feed.
    bool ReadReply(FeedReply& reply, const std::string& url, const std::string& feedUrl,
                   FeedDocument& feed);
    // The record whose reply was a web page naming the feed at `pageUrl`
    // takes that URL; false when that feed is subscribed already and the
    // record went.
    bool FollowPage(const SubscriptionPtr& s, const std::string& url, const std::string& pageUrl);
    // The archive, the queue, the partial files and the record after a feed
    // was read; false when the cycle was cancelled.
    bool RecordFeed(const SubscriptionPtr& s, const CheckStart& check, const FeedDocument& feed);
    // Where a feed's enclosures go: the folder of `name` below `base`, with
    // the names listed in it at the start of the feed's step.
    struct FeedFolder {
        const std::string& base;
        const std::string& name;
        const std::unordered_set<std::string>& listed;
        const SubscriptionPtr& subscription; // whose check queues them
    };
    // Queues the episode `index` of the step when it is to be fetched and
    // its file is missing in `folder` (every one whose file is missing, when
    // no episode store decides); true when it was queued. `fileName` comes
    // with the name its URL gives and leaves with the name it has.
    bool QueueEpisode(EpisodeLedger::FeedStep& step, size_t index, const FeedItem& item,
                      const FeedFolder& folder, std::string& fileName);
    // The podcast's folder follows its new name `name`; true when it was
    // renamed.
    bool MoveFolder(EpisodeLedger::FeedStep& step, const CheckStart& check,
                    const std::string& name);
    // The subscription follows its podcast to the address it moved to.
    void FollowMove(const SubscriptionPtr& s, const CheckStart& check, const Moves& moves);
    // Whether `url` answers with a feed.
    bool AnswersWithFeed(const std::string& url);
    std::string NameAfterCheck(const SubscriptionPtr& s, const std::string& channelTitle);
    // The record's check failed: it keeps its name and date, and `failure` is told.
    void FailCheck(const SubscriptionPtr& s, const std::string& url, const Message& failure);
    // The record's check ended: its name and status now, and why it failed.
    void TellCheckEnded(const SubscriptionPtr& s, const std::string& url, const Failure& failure);
    void PostError(int id, std::vector<std::string> args, Failure reason = {});

    SharedModel& model_;
    LibraryEvents& events_;
    const EngineOptions& options_;
    const std::atomic<bool>& cancel_;
    ArchiveMemo& memo_;
    EpisodeLedger noStore_;   // stands in when the engine has no episode library
    EpisodeLedger* ledger_;   // the engine's, or noStore_
    EnclosureQueue queue_;
    const std::vector<SubscriptionPtr> walk_;
    const FeedCache cache_;
    CycleSaves saves_;
    // Made when the first due record is reached; ended before the last save.
    std::unique_ptr<FeedLookahead> lookahead_;
    bool anyQueued_ = false;
};

} // namespace tessarine
