// Replacing the subscription list (a change of base directory: empty the
// list, load the new base's settings file) while the worker may save at any
// moment. A save in between must never write a partial list over the file
// being loaded; it is made once the list is whole again.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/TestSupport.h"
#include "update/SharedModel.h"

#include <gtest/gtest.h>

#include <thread>

using namespace tessarine;
using namespace tessarine::test;

namespace {

const char* kThreeFeeds =
    "<TessarineSettings><settings updatestart='1' quitcomplete='0'/>"
    "<feed url='http://b/1' lastchecked='01.02.2003 04:05:06'>One</feed>"
    "<feed url='http://b/2' lastchecked='01.02.2003 04:05:06'>Two</feed>"
    "<feed url='http://b/3' lastchecked='01.02.2003 04:05:06'>Three</feed>"
    "</TessarineSettings>";

size_t StoredFeeds(const std::string& base) {
    const auto stored = ReadSettingsFile(base + kSettingsFileName);
    return stored ? stored->feeds.size() : 0;
}

// A save from another thread, as the worker makes one after each feed.
void SaveFromWorker(SharedModel& model) {
    std::thread([&] { model.SaveSettings(); }).join();
}

} // namespace

TEST(SettingsReload, AWorkerSaveWhileTheListIsReplacedWaitsForTheWholeList) {
    TempDir a, b;
    WriteFile(b / kSettingsFileName, kThreeFeeds);
    SharedModel model;
    model.baseDirectory = a.Base();
    model.subscriptions.Append("http://a/1", "Old");

    {
        const SharedModel::SaveHold hold(model);
        {
            std::lock_guard lock(model.mutex);
            model.baseDirectory = b.Base();
            model.subscriptions.Clear();
        }
        SaveFromWorker(model); // the list is empty here
        EXPECT_EQ(StoredFeeds(b.Base()), 3u);
        size_t added = 0;
        ASSERT_TRUE(model.LoadSettings([&](const std::string& url, const std::string& name) {
            SubscriptionPtr record;
            {
                std::lock_guard lock(model.mutex);
                record = model.subscriptions.Append(url, name);
            }
            if (++added == 1)
                SaveFromWorker(model); // one of three loaded
            return record;
        }));
        EXPECT_EQ(StoredFeeds(b.Base()), 3u);
    }
    // The save put off meanwhile has been made, from the whole list.
    const auto stored = ReadSettingsFile(b / kSettingsFileName);
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->feeds.size(), 3u);
    EXPECT_EQ(stored->feeds[2].name, "Three");
    EXPECT_EQ(stored->feeds[2].lastChecked, "01.02.2003 04:05:06");
    EXPECT_FALSE(std::filesystem::exists(a / kSettingsFileName)); // nothing went to the old base

    // Without a hold, saves are made at once.
    model.subscriptions.Append("http://b/4", "Four");
    SaveFromWorker(model);
    EXPECT_EQ(StoredFeeds(b.Base()), 4u);
}
