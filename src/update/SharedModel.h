#pragma once
// The state that the GUI thread and the update engine's worker share: the
// subscription list, the download queue, the base directory and the options.
// One lock guards all of it; nobody holds it across network I/O or while
// waiting for the GUI thread.

#include "subscriptions/SettingsFile.h"
#include "subscriptions/Subscription.h"
#include "update/DownloadQueue.h"

#include <functional>
#include <mutex>
#include <string>

namespace tessarine {

class SharedModel {
public:
    mutable std::mutex mutex;
    SubscriptionList subscriptions;
    DownloadQueue downloads;
    std::string baseDirectory;
    OptionSet options;
    bool checkAllRequested = false;

    // Writes the settings file from the options and the list. Saves never
    // interleave, and a save always writes what the model held when it began;
    // a failed save is silent and leaves the old file whole.
    void SaveSettings();

    // Reads the settings file of the current base directory: the options,
    // then each feed through `addSubscription` (which appends record and row
    // and returns the record, or none for a duplicate). Returns false, with
    // nothing changed, when the file is missing or unreadable.
    using AddSubscriptionFn =
        std::function<SubscriptionPtr(const std::string& url, const std::string& name)>;
    bool LoadSettings(const AddSubscriptionFn& addSubscription);

private:
    std::mutex saveMutex_;
};

// Command ids the engine posts or reacts to.
inline constexpr int ID_CHECK_FOR_NEW_ITEMS = 1003;
inline constexpr int ID_QUIT = 32784;

} // namespace tessarine
