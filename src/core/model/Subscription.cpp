#include "core/model/Subscription.h"

#include "core/net/FeedAddress.h"
#include "core/util/Strings.h"

#include <algorithm>

namespace tessarine {

SubscriptionPtr SubscriptionList::Append(const std::string& url, const std::string& name) {
    if (Contains(url))
        return nullptr;
    auto record = std::make_shared<Subscription>();
    record->url = url;
    if (name.empty()) {
        record->name = LoadResString(IDS_NEW_PODCAST);
        record->status = NewlyAdded;
    } else {
        record->name = name;
        record->status = Idle;
    }
    record->lastChecked = OleDateTime::Now();
    items_.push_back(record);
    urls_.insert(url);
    ++keys_[FeedAddressKey(url)];
    return record;
}

SubscriptionPtr SubscriptionList::AppendNew(const std::string& url, const std::string& name) {
    if (ContainsSameFeed(url))
        return nullptr;
    return Append(url, name);
}

bool SubscriptionList::ContainsSameFeed(const std::string& url) const {
    return Contains(url) || keys_.count(FeedAddressKey(url)) != 0;
}

bool SubscriptionList::ChangeUrl(const SubscriptionPtr& record, const std::string& url) {
    if (std::find(items_.begin(), items_.end(), record) == items_.end())
        return false;
    const std::string key = FeedAddressKey(url);
    const std::string oldKey = FeedAddressKey(record->url);
    if (Contains(url) ? url != record->url : keys_.count(key) != 0 && key != oldKey)
        return false;
    urls_.erase(record->url);
    if (const auto old = keys_.find(oldKey); old != keys_.end() && --old->second == 0)
        keys_.erase(old);
    record->url = url;
    urls_.insert(url);
    ++keys_[key];
    return true;
}

bool SubscriptionList::Remove(const SubscriptionPtr& record) {
    auto it = std::find(items_.begin(), items_.end(), record);
    if (it == items_.end())
        return false;
    urls_.erase((*it)->url);
    if (const auto key = keys_.find(FeedAddressKey((*it)->url)); key != keys_.end() &&
                                                                   --key->second == 0)
        keys_.erase(key);
    items_.erase(it);
    return true;
}

void SubscriptionList::Clear() {
    items_.clear();
    urls_.clear();
    keys_.clear();
}

SubscriptionPtr SubscriptionList::At(long long index) const {
    if (index < 0 || static_cast<size_t>(index) >= items_.size())
        return nullptr;
    return items_[static_cast<size_t>(index)];
}

} // namespace tessarine
