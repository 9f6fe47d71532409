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
#include <optional>
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
    // After LoadSettings: set when the file existed but could not be read,
    // to the path of the copy holding its bytes (empty when none could be
    // made); none otherwise.
    std::optional<std::string> unreadableSettingsCopy;

    // Writes the settings file from the options and the list. Saves never
    // interleave, and a save always writes what the model held when it began;
    // a failed save is silent and leaves the old file whole. While a SaveHold
    // exists the save is put off until the last hold ends.
    void SaveSettings();

    // Reads the settings file of the current base directory: the options,
    // then each feed through `addSubscription` (which appends record and row
    // and returns the record, or none for a duplicate). Returns false, with
    // nothing changed, when the file is missing or unreadable; an unreadable
    // one is kept in a copy first (see LoadSettingsFile), whose path it
    // leaves in `unreadableSettingsCopy`. Saves are held while it runs.
    using AddSubscriptionFn =
        std::function<SubscriptionPtr(const std::string& url, const std::string& name)>;
    bool LoadSettings(const AddSubscriptionFn& addSubscription);

    // Holds saves while the list is being replaced (emptied, then loaded from
    // the settings file of a new base directory). A save in between, such as
    // the worker's after a check that was under way, would write a partial
    // list over the very file being loaded. A save asked for meanwhile is
    // made when the last hold ends, from the list as it is then.
    class SaveHold {
    public:
        explicit SaveHold(SharedModel& model);
        ~SaveHold();
        SaveHold(const SaveHold&) = delete;
        SaveHold& operator=(const SaveHold&) = delete;

    private:
        SharedModel& model_;
    };

private:
    std::mutex saveMutex_;
    int saveHolds_ = 0;         // guarded by `mutex`
    bool saveDeferred_ = false; // guarded by `mutex`
};

// Command ids the engine posts or reacts to.
inline constexpr int ID_CHECK_FOR_NEW_ITEMS = 1003;
inline constexpr int ID_QUIT = 32784;

} // namespace tessarine
