#include "update/SharedModel.h"

#include "subscriptions/BaseDirectory.h"
#include "subscriptions/FileStore.h"

namespace tessarine {

void SharedModel::SaveSettings() {
    std::lock_guard save(saveMutex_);
    std::string path, bytes;
    {
        std::lock_guard lock(mutex);
        path = SettingsFilePath(baseDirectory);
        bytes = SerializeSettings(options, subscriptions);
    }
    WriteFileAtomically(path, bytes);
}

bool SharedModel::LoadSettings(const AddSubscriptionFn& addSubscription) {
    std::string path;
    {
        std::lock_guard lock(mutex);
        path = SettingsFilePath(baseDirectory);
    }
    const auto stored = ReadSettingsFile(path);
    if (!stored)
        return false;
    if (stored->updateStart) {
        std::lock_guard lock(mutex);
        options.updateStart = *stored->updateStart;
        options.quitComplete = *stored->quitComplete;
    }
    for (const StoredFeed& feed : stored->feeds) {
        SubscriptionPtr record = addSubscription(feed.url, feed.name);
        if (record) {
            std::lock_guard lock(mutex);
            record->lastChecked = OleDateTime::ParseStored(feed.lastChecked);
        }
    }
    return true;
}

} // namespace tessarine
