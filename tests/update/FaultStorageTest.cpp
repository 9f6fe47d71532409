// Storage faults: the target folder or the base directory vanishing or
// turning into a file mid-cycle, a full disk (a file size limit) during a
// transfer or a settings save, a process killed while it saves, the list
// replaced while the worker saves.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/SettingsFile.h"
#include "support/Feeds.h"
#include "support/Sanitized.h"
#include "update/EngineFixture.h"

#include <csignal>
#include <functional>
#include <random>
#include <thread>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

namespace {

// Runs `action` with the size of any file this process writes limited to
// `bytes` (0: no new limit), as a full disk would; with SIGXFSZ ignored the
// write fails with EFBIG instead.
void WithDiskFull(rlim_t bytes, const std::function<void()>& action) {
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit full = old;
    full.rlim_cur = bytes ? bytes : old.rlim_cur;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    action();
    setrlimit(RLIMIT_FSIZE, &old);
}

class StorageFaultTest : public EngineFixture {};

} // namespace

TEST_F(StorageFaultTest, UnwritableTargetFailsWithItsPathLeavesNothingAndRecovers) {
    struct Case {
        const char* what;
        std::function<void()> midCycle; // strikes when the feed is asked for
        rlim_t diskFull;                // file size limit during the cycle, or 0
        Texts tree;                     // under the root after the cycle
    };
    const auto replaceByFile = [](fs::path path) {
        return [path] { fs::remove_all(path); WriteFile(path, "a file"); };
    };
    const std::string settings = std::string("base/") + kSettingsFileName;
    const Case cases[] = {
        {"feed folder is a file", replaceByFile(base / "Show"), 0, {"base", "base/Show", settings}},
        {"base directory removed", [this] { fs::remove_all(base); }, 0, {}},
        {"base directory is a file", replaceByFile(base), 0, {"base"}},
        {"disk full", nullptr, 256 * 1024, {"base", "base/Show", "base/Show/feed.xml", settings}},
    };
    std::atomic<const Case*> armed{nullptr};
    server.Server().Get("/f.xml", [&](const httplib::Request&, httplib::Response& res) {
        if (const Case* c = armed.exchange(nullptr); c && c->midCycle)
            c->midCycle();
        res.set_content(MakeFeed("Show", {{server.Url("/ep.mp3")}}), "text/xml");
    });
    const std::string episode(1 << 20, 'e');
    server.Serve("/ep.mp3", episode);
    server.Start();
    auto r = Add(server.Url("/f.xml"), "Show");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        armed = &c;
        r->status = CheckPending;
        WithDiskFull(c.diskFull, [&] { EXPECT_EQ(Engine().CheckCycleProc(), 0); });
        EXPECT_EQ(view.Rows().back()[ColumnStatus], "Failed");
        EXPECT_EQ(view.Messages().back(), "Error creating file " + Base() + "Show/ep.mp3");
        EXPECT_EQ(Tree(root.Path()), c.tree);

        // Once the fault is gone, the next check fetches the file whole.
        fs::remove_all(base);
        fs::create_directory(base);
        r->status = CheckPending;
        EXPECT_EQ(Engine().CheckCycleProc(), 0);
        EXPECT_EQ(ReadFile(base / "Show/ep.mp3"), episode);
        fs::remove(base / "Show/ep.mp3");
    }
}

TEST_F(StorageFaultTest, FullDiskDuringASettingsSaveKeepsTheOldFile) {
    for (int i = 0; i < 2000; ++i) {
        Add("http://example.org/" + std::to_string(i), std::string(100, 'n'));
        if (i == 10)
            model.SaveSettings();
    }
    const std::string before = ReadFile(base / kSettingsFileName);
    WithDiskFull(before.size() + 4096, [&] { model.SaveSettings(); }); // the list would not fit
    EXPECT_EQ(ReadFile(base / kSettingsFileName), before);
    EXPECT_EQ(Tree(base), Texts{kSettingsFileName});
}

// Changing the base directory empties the list and loads the new base's
// settings file; a worker save in between must not write a partial list over
// the file being loaded, but be made once the list is whole again.
TEST_F(StorageFaultTest, AWorkerSaveWhileTheListIsReplacedWaitsForTheWholeList) {
    TempDir other;
    WriteFile(other / kSettingsFileName,
              "<TessarineSettings><settings updatestart='1' quitcomplete='0'/>"
              "<feed url='http://b/1' lastchecked='01.02.2003 04:05:06'>One</feed>"
              "<feed url='http://b/2' lastchecked='01.02.2003 04:05:06'>Two</feed>"
              "<feed url='http://b/3' lastchecked='01.02.2003 04:05:06'>Three</feed>"
              "</TessarineSettings>");
    const std::string before = ReadFile(other / kSettingsFileName);
    const auto saveFromWorker = [&] { std::thread([&] { model.SaveSettings(); }).join(); };
    Add("http://a/1", "Old");
    {
        const SharedModel::SaveHold hold(model);
        {
            std::lock_guard lock(model.mutex);
            model.baseDirectory = other.Base();
            model.subscriptions.Clear();
        }
        saveFromWorker(); // the list is empty here
        ASSERT_TRUE(model.LoadSettings([&](const std::string& url, const std::string& name) {
            const auto record = Add(url, name);
            if (url == "http://b/1")
                saveFromWorker(); // one of three loaded
            return record;
        }));
        EXPECT_EQ(ReadFile(other / kSettingsFileName), before);
    }
    // The save put off meanwhile has been made, from the whole list.
    const auto stored = ReadSettingsFile(other / kSettingsFileName);
    ASSERT_TRUE(stored.has_value());
    ASSERT_EQ(stored->feeds.size(), 3u);
    EXPECT_EQ(stored->feeds[2].name, "Three");
    EXPECT_EQ(stored->feeds[2].lastChecked, "01.02.2003 04:05:06");
    EXPECT_FALSE(fs::exists(base / kSettingsFileName)); // nothing went to the old base
}

// Killed outright at any moment, even inside a write, a process leaves the
// settings file as one whole snapshot.
TEST_F(StorageFaultTest, SettingsFileIsWholeAfterSigkillDuringSaves) {
    constexpr size_t kFeeds = 300;
    for (size_t i = 0; i < kFeeds; ++i)
        Add("http://example.org/" + std::to_string(i));
    const auto temporaryFiles = [this] { // left by a save under way
        return std::count_if(fs::directory_iterator(base), {},
                             [](auto& e) { return e.path().filename() != kSettingsFileName; });
    };
    std::mt19937 random(20240607);
    int killsMidWrite = 0;
    // At least 25 kills, and on until some of them landed inside a write.
    for (int round = 0; round < 25 || (killsMidWrite < (kSanitized ? 1 : 3) && round < 300);
         ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) { // saves snapshot after snapshot until killed
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            for (long snapshot = round * 1000000L;; ++snapshot) {
                const std::string name = std::to_string(snapshot) + std::string(60, 'x');
                for (size_t i = 0; i < kFeeds; ++i)
                    model.subscriptions.At(i)->name = name;
                model.SaveSettings();
            }
        }
        // Once a file exists and the next save is under way, a random moment later.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((!fs::exists(base / kSettingsFileName) || temporaryFiles() == 0) &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<int>(0, 5000)(random)));
        kill(child, SIGKILL);
        ASSERT_EQ(waitpid(child, nullptr, 0), child);
        killsMidWrite += temporaryFiles() > 0;
        for (auto& entry : fs::directory_iterator(base))
            if (entry.path().filename() != kSettingsFileName)
                fs::remove(entry.path());
        const auto stored = ReadSettingsFile(base / kSettingsFileName);
        ASSERT_TRUE(stored && stored->feeds.size() == kFeeds) << "round " << round;
        for (const auto& feed : stored->feeds)
            ASSERT_EQ(feed.name, stored->feeds[0].name) << "round " << round;
    }
    EXPECT_GT(killsMidWrite, 0); // the dangerous moment was really hit
}
