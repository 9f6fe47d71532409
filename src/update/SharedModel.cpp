#include "update/SharedModel.h"

#include "subscriptions/BaseDirectory.h"
#include "subscriptions/FileStore.h"

namespace tessarine {

void SharedModel::SaveSettings() {
    std::lock_guard save(saveMutex_);
    std::string path, bytes;
    {
        std::lock_guard lock(mutex);
        if (saveHolds_ > 0) {
            saveDeferred_ = true;
            return;
        }
        path = SettingsFilePath(baseDirectory);
        bytes = SerializeSettings(options, subscriptions);
    }
    WriteFileAtomically(path, bytes);
}

SharedModel::SaveHold::SaveHold(SharedModel& model) : model_(model) {
    std::lock_guard lock(model_.mutex);
    ++model_.saveHolds_;
}

SharedModel::SaveHold::~SaveHold() {
    bool save;
    {
        std::lock_guard lock(model_.mutex);
        save = --model_.saveHolds_ == 0 && model_.saveDeferred_;
        if (save)
            model_.saveDeferred_ = false;
    }
    if (save)
        model_.SaveSettings();
}

bool SharedModel::LoadSettings(const AddSubscriptionFn& addSubscription) {
    const SaveHold hold(*this);
    std::string path;
    {
        std::lock_guard lock(mutex);
        path = SettingsFilePath(baseDirectory);
    }
    SettingsLoad load = LoadSettingsFile(path);
    {
        std::lock_guard lock(mutex);
        unreadableSettingsCopy.reset();
        if (load.unreadable)
            unreadableSettingsCopy = load.keptCopy;
    }
    const auto& stored = load.settings;
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
