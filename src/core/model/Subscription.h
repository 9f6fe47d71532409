#pragma once
// One subscribed feed and the ordered list of them.

#include "core/util/OleDateTime.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tessarine {

// Status codes of a subscription; other codes may occur in a record and show
// an empty status cell.
enum SubscriptionStatus : int32_t {
    Idle = 0,
    NewlyAdded = 1,
    CheckPending = 2,
    Checking = 3,
    NewItemsFound = 4,
    NoNewItems = 5,
    Error = 100,
};

struct Subscription {
    std::string url;
    int32_t status = Idle;
    std::string name;
    OleDateTime lastChecked;
};

// Records are shared: a record that the list drops (remove, change of base
// directory) stays alive for as long as the check cycle still holds it.
using SubscriptionPtr = std::shared_ptr<Subscription>;

// The ordered list of subscriptions. Not synchronised itself: the shared
// model's lock guards it.
class SubscriptionList {
public:
    // Appends a record; none when `url` is already subscribed (exact comparison).
    // An empty name gives "New Podcast" and the status NewlyAdded, else Idle.
    SubscriptionPtr Append(const std::string& url, const std::string& name);
    // Appends a record as Append does; none when a listed URL names the same
    // feed (see FeedAddressKey: scheme and host in any letter case, the
    // default port or none).
    SubscriptionPtr AppendNew(const std::string& url, const std::string& name);
    // Gives a listed record the URL `url`; false when it is not listed or
    // another listed URL names the same feed.
    bool ChangeUrl(const SubscriptionPtr& record, const std::string& url);
    // Unlinks a record; false when it is not in the list.
    bool Remove(const SubscriptionPtr& record);
    void Clear();

    size_t Size() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    // The record at `index`, or none past the end (or for a negative index).
    SubscriptionPtr At(long long index) const;
    bool Contains(const std::string& url) const { return urls_.count(url) != 0; }
    // Whether a listed URL names the same feed as `url`.
    bool ContainsSameFeed(const std::string& url) const;
    const std::vector<SubscriptionPtr>& Items() const { return items_; }

private:
    std::vector<SubscriptionPtr> items_;
    std::unordered_set<std::string> urls_;
    // FeedAddressKey of each listed URL with the number of URLs that have it
    // (a loaded file may list two spellings of one feed).
    std::unordered_map<std::string, size_t> keys_;
};

// The four option flags of the main window.
struct OptionSet {
    int32_t updateStart = 1;
    int32_t quitComplete = 0;
    int32_t autostart = 0;
    int32_t runKeyOpen = 0;
};

} // namespace tessarine
