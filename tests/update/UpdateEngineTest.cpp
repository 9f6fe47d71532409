// The update engine against real HTTP on loopback and real files.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/RecordingView.h"
#include "support/TestSupport.h"
#include "update/UpdateEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

class EngineTest : public testing::Test {
protected:
    EngineTest() {
        model.baseDirectory = dir.Base();
        options.http.connectTimeoutSeconds = 5;
        options.http.stallTimeoutSeconds = 5;
    }

    UpdateEngine& Engine(bool checkAndQuit = false) {
        if (!engine)
            engine = std::make_unique<UpdateEngine>(model, view, checkAndQuit, options);
        return *engine;
    }

    SubscriptionPtr Add(const std::string& url, const std::string& name = "") {
        std::lock_guard lock(model.mutex);
        return model.subscriptions.Append(url, name);
    }

    std::string Folder(const std::string& title) { return dir / title; }

    TempDir dir;
    SharedModel model;
    RecordingView view;
    EngineOptions options;
    LoopbackServer server;
    std::unique_ptr<UpdateEngine> engine;
};

std::string Body(size_t size, char fill = 'x') { return std::string(size, fill); }

} // namespace

TEST_F(EngineTest, WalkChecksDueSubscriptionsAndDownloads) {
    server.Serve("/a.xml", MakeFeed("Show A", {{server.Url("/media/a1.mp3")}}));
    server.Serve("/b.xml", MakeFeed("Show B", {{server.Url("/media/b1.mp3")}}));
    server.Serve("/c.xml", MakeFeed("Show C", {}));
    server.Serve("/media/a1.mp3", Body(3000, 'a'));
    server.Serve("/media/b1.mp3", Body(5000, 'b'));
    server.Start();

    auto fresh = Add(server.Url("/a.xml"));                    // newly added: due
    auto pending = Add(server.Url("/b.xml"), "Show B");        // marked below: due
    auto idle = Add(server.Url("/c.xml"), "Untouched");        // idle: passed over
    const OleDateTime idleDate = idle->lastChecked;
    pending->status = CheckPending;

    EXPECT_EQ(Engine().CheckCycleProc(), 0);

    EXPECT_EQ(fresh->status, NewItemsFound);
    EXPECT_EQ(fresh->name, "Show A");
    EXPECT_EQ(pending->status, NewItemsFound);
    EXPECT_EQ(idle->status, Idle);
    EXPECT_EQ(idle->name, "Untouched");
    EXPECT_EQ(idle->lastChecked, idleDate);
    EXPECT_EQ(server.Hits("/c.xml"), 0);

    EXPECT_EQ(ReadFile(dir / "Show A/a1.mp3"), Body(3000, 'a'));
    EXPECT_EQ(ReadFile(dir / "Show B/b1.mp3"), Body(5000, 'b'));
    EXPECT_FALSE(fs::exists(dir / "Show A/a1.mp3.part"));

    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][ColumnFile], "a1.mp3");
    EXPECT_EQ(rows[0][ColumnStatus], "Completed");
    EXPECT_EQ(rows[1][ColumnProgress], "100%");
    EXPECT_FALSE(view.RowOrderBroken());
    EXPECT_TRUE(view.Messages().empty());

    // The settings file holds the new names.
    const std::string settings = ReadFile(dir / kSettingsFileName);
    EXPECT_NE(settings.find(">Show A</feed>"), std::string::npos);
    // The first check looked for the archive under the placeholder name,
    // whose folder does not exist: nothing was written there.
    EXPECT_FALSE(fs::exists(dir / "New Podcast"));
    // The renamed feed's second check writes its archive in its own folder.
    fresh->status = CheckPending;
    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    EXPECT_EQ(fresh->status, NoNewItems);
    EXPECT_TRUE(fs::exists(dir / "Show A/feed.xml"));
}

TEST_F(EngineTest, FeedFailuresAreErrorsThatKeepNameAndDate) {
    server.Serve("/missing.xml", "not here", "text/plain", 404);
    server.Serve("/broken.xml", "<rss><channel><title>Half", "text/xml");
    server.Serve("/nochannel.xml", "<rss/>", "text/xml");
    server.Serve("/html.xml", "<html><body>Sorry</body></html>", "text/html", 500);
    server.Start();
    const std::string refused = "http://127.0.0.1:1/feed.xml";

    std::vector<SubscriptionPtr> records;
    for (const std::string& url : {server.Url("/missing.xml"), server.Url("/broken.xml"),
                                   server.Url("/nochannel.xml"), server.Url("/html.xml"), refused})
        records.push_back(Add(url, "Keep me"));
    for (auto& r : records) {
        r->status = CheckPending;
        r->lastChecked = OleDateTime::FromFields({2001, 2, 3, 4, 5, 6});
    }

    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    for (auto& r : records) {
        EXPECT_EQ(r->status, Error) << r->url;
        EXPECT_EQ(r->name, "Keep me") << r->url;
        EXPECT_EQ(r->lastChecked.FormatStored(), "03.02.2001 04:05:06");
    }
    const auto messages = view.Messages();
    ASSERT_EQ(messages.size(), records.size());
    EXPECT_EQ(messages[0], "Could not open " + server.Url("/missing.xml"));
    EXPECT_EQ(messages[4], "Could not open " + refused);
    EXPECT_FALSE(fs::exists(dir / kSettingsFileName)); // no save for a failed fetch
}

TEST_F(EngineTest, OversizedFeedIsRefused) {
    options.maxFeedBytes = 1000;
    server.Serve("/big.xml", MakeFeed(std::string(2000, 'T'), {}), "text/xml");
    server.Start();
    auto r = Add(server.Url("/big.xml"));
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, Error);
}

TEST_F(EngineTest, QueuesOnlyMissingFilesAndRequeuesDeletedOnes) {
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/m/one.mp3")}, {server.Url("/m/two.mp3")}}));
    server.Serve("/m/one.mp3", "1");
    server.Serve("/m/two.mp3", "22");
    server.Start();
    fs::create_directory(dir / "Show");
    WriteFile(dir / "Show/one.mp3", "already here");

    auto r = Add(server.Url("/f.xml"));
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, NewItemsFound);
    ASSERT_EQ(view.Rows().size(), 1u);
    EXPECT_EQ(view.Rows()[0][ColumnFile], "two.mp3");
    EXPECT_EQ(ReadFile(dir / "Show/one.mp3"), "already here");
    EXPECT_EQ(server.Hits("/m/one.mp3"), 0);

    // Everything present: no new items, although the archive grows.
    r->status = CheckPending;
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, NoNewItems);
    EXPECT_EQ(view.Rows().size(), 1u);

    // A deleted file is queued again as a new row.
    fs::remove(dir / "Show/two.mp3");
    r->status = CheckPending;
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, NewItemsFound);
    ASSERT_EQ(view.Rows().size(), 2u);
    EXPECT_EQ(ReadFile(dir / "Show/two.mp3"), "22");
}

TEST_F(EngineTest, SameFileNameTwiceInOneFeed) {
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/a/ep.mp3")}, {server.Url("/b/ep.mp3")}}));
    server.Serve("/a/ep.mp3", "first");
    server.Serve("/b/ep.mp3", "second");
    server.Start();
    Add(server.Url("/f.xml"));
    Engine().CheckCycleProc();
    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), 2u); // both queued
    EXPECT_EQ(ReadFile(dir / "Show/ep.mp3"), "first");
    EXPECT_EQ(server.Hits("/b/ep.mp3"), 0); // the second finds the file and completes
    EXPECT_EQ(rows[1][ColumnStatus], "Completed");
}

TEST_F(EngineTest, SizeAndProgressCells) {
    const size_t size = 5 * 1048576 + 12345;
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/known.mp3")}, {server.Url("/chunked.mp3")}}));
    server.Serve("/known.mp3", Body(size));
    server.Server().Get("/chunked.mp3", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("audio/mpeg", [](size_t offset, httplib::DataSink& sink) {
            if (offset >= 300000) {
                sink.done();
                return true;
            }
            std::string chunk(10000, 'c');
            sink.write(chunk.data(), chunk.size());
            return true;
        });
    });
    server.Start();
    Add(server.Url("/f.xml"));
    Engine().CheckCycleProc();

    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][ColumnSize], "5.0MB");
    const auto progress = view.CellHistory(0, ColumnProgress);
    EXPECT_EQ(progress.front(), "0%");
    EXPECT_EQ(progress.back(), "100%");
    // Only changes of the whole percentage are shown, each at most once.
    EXPECT_LE(progress.size(), 101u);
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_NE(progress[i], progress[i - 1]);
    const auto status = view.CellHistory(0, ColumnStatus);
    EXPECT_EQ(status, (std::vector<std::string>{"Waiting", "Downloading", "Completed"}));

    // Without a length: 0.0MB and the progress stays at 0%, the file whole.
    EXPECT_EQ(rows[1][ColumnSize], "0.0MB");
    EXPECT_EQ(view.CellHistory(1, ColumnProgress), std::vector<std::string>{"0%"});
    EXPECT_EQ(fs::file_size(dir / "Show/chunked.mp3"), 300000u);
}

TEST_F(EngineTest, FailedTransfersKeepNoFileAndAreRetried) {
    server.Serve("/f.xml",
                 MakeFeed("Show", {{server.Url("/gone.mp3")}, {server.Url("/cut.mp3")},
                                   {"http://127.0.0.1:1/refused.mp3"}, {server.Url("/ok.mp3")}}));
    server.Serve("/gone.mp3", "error page", "text/html", 404);
    server.Server().Get("/cut.mp3", [](const httplib::Request&, httplib::Response& res) {
        // Announces 100000 bytes, then drops the connection after 1000.
        res.set_content_provider(100000, "audio/mpeg",
                                 [](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset >= 1000)
                                         return false;
                                     std::string chunk(1000, 'c');
                                     sink.write(chunk.data(), chunk.size());
                                     return true;
                                 });
    });
    server.Serve("/ok.mp3", "fine");
    server.Start();
    auto r = Add(server.Url("/f.xml"));
    Engine().CheckCycleProc();

    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0][ColumnStatus], "Failed");
    EXPECT_EQ(rows[1][ColumnStatus], "Failed");
    EXPECT_EQ(rows[2][ColumnStatus], "Failed");
    EXPECT_EQ(rows[3][ColumnStatus], "Completed");
    EXPECT_EQ(view.Messages(),
              std::vector<std::string>{"Could not open http://127.0.0.1:1/refused.mp3"});
    std::vector<std::string> files;
    for (auto& entry : fs::directory_iterator(dir / "Show"))
        files.push_back(entry.path().filename().string());
    EXPECT_EQ(files, std::vector<std::string>{"ok.mp3"}); // no error page, no partial file

    // Nothing was kept, so the next check queues the three again.
    r->status = CheckPending;
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, NewItemsFound);
    EXPECT_EQ(view.Rows().size(), 7u);
}

TEST_F(EngineTest, UncreatableTargetReportsTheFullPath) {
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/ep.mp3")}}));
    server.Serve("/ep.mp3", "data");
    server.Start();
    WriteFile(dir / "Show", "a file where the folder belongs");
    Add(server.Url("/f.xml"));
    Engine().CheckCycleProc();
    ASSERT_EQ(view.Rows().size(), 1u);
    EXPECT_EQ(view.Rows()[0][ColumnStatus], "Failed");
    EXPECT_EQ(view.Messages(),
              std::vector<std::string>{"Error creating file " + dir.Base() + "Show/ep.mp3"});
}

TEST_F(EngineTest, HostileNamesStayInsideTheBase) {
    const std::string title = "../../escape\\ed\x01";
    server.Serve("/f.xml",
                 MakeFeed(title, {{server.Url("/x/..")}, {server.Url("/y/ep.mp3?id=7#t")},
                                  {server.Url("/z/%2e%2e%2fup.mp3")}}));
    server.Serve("/x/..", "dots");
    server.Serve("/y/ep.mp3", "query");
    server.Serve("/z/%2e%2e%2fup.mp3", "escaped");
    server.Start();
    auto r = Add(server.Url("/f.xml"));
    Engine().CheckCycleProc();
    EXPECT_EQ(r->name, title); // the name is kept; only its folder is made safe
    const fs::path folder = dir.Path() / FeedFolderName(title);
    EXPECT_EQ(folder.parent_path(), dir.Path());
    const std::string root = fs::canonical(dir.Path()).string() + "/";
    size_t inside = 0;
    for (auto& entry : fs::recursive_directory_iterator(dir.Path())) {
        EXPECT_EQ(fs::canonical(entry.path()).string().rfind(root, 0), 0u) << entry.path();
        ++inside;
    }
    EXPECT_TRUE(fs::exists(folder / "ep.mp3"));
    EXPECT_EQ(view.Rows().at(0)[ColumnFile], "output"); // ".." as a file name
    EXPECT_GE(inside, 2u);
    EXPECT_FALSE(fs::exists(dir.Path().parent_path() / "escape"));
}

TEST_F(EngineTest, CyclesNeverOverlapAndARequestDuringACycleRunsAfterIt) {
    std::atomic<int> inFlight{0}, maxInFlight{0}, hitsA{0}, hitsB{0};
    auto slowFeed = [&](const char* title, std::atomic<int>& hits) {
        return [&, title](const httplib::Request&, httplib::Response& res) {
            ++hits;
            const int now = ++inFlight;
            maxInFlight = std::max(maxInFlight.load(), now);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            res.set_content(MakeFeed(title, {}), "text/xml");
            --inFlight;
        };
    };
    server.Server().Get("/b.xml", slowFeed("B", hitsB));
    server.Server().Get("/a.xml", slowFeed("A", hitsA));
    server.Start();
    auto b = Add(server.Url("/b.xml"), "B"); // idle: the first cycle passes it over
    auto a = Add(server.Url("/a.xml"));      // newly added: due
    Engine().RequestCycle();
    // Inside the fetch of A (its server takes 150 ms to answer).
    for (int i = 0; i < 3000 && hitsA == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    {
        std::lock_guard lock(model.mutex); // the worker writes it under the lock
        EXPECT_EQ(a->status, Checking);
    }
    // Marking the record the walk has passed asks for one more cycle, which
    // runs after this one, never beside it.
    Engine().OnUpdateThisPodcast(b);
    EXPECT_TRUE(Engine().IsBusy());
    ASSERT_TRUE(Engine().WaitForIdle(std::chrono::seconds(30)));
    EXPECT_EQ(maxInFlight.load(), 1);
    EXPECT_EQ(hitsA.load(), 1);
    EXPECT_EQ(hitsB.load(), 1);
    EXPECT_EQ(b->status, NoNewItems);
    EXPECT_EQ(a->status, NoNewItems);
}

TEST_F(EngineTest, QuitRule) {
    server.Serve("/f.xml", MakeFeed("Show", {}));
    server.Start();
    // "Update this podcast" alone never quits, even with /checkandquit.
    auto r = Add(server.Url("/f.xml"), "Show");
    Engine(true).OnUpdateThisPodcast(r);
    ASSERT_TRUE(Engine().WaitForIdle(std::chrono::seconds(30)));
    EXPECT_TRUE(view.Posts().empty());
    // "Check for new items" with /checkandquit quits after its cycle, even
    // when nothing was queued.
    EXPECT_TRUE(Engine().OnCheckForNewItems());
    ASSERT_TRUE(Engine().WaitForIdle(std::chrono::seconds(30)));
    EXPECT_EQ(view.Posts(), std::vector<int>{ID_QUIT});
}

TEST_F(EngineTest, QuitWhenCompleteNeedsACheckOfAll) {
    server.Serve("/f.xml", MakeFeed("Show", {}));
    server.Start();
    model.options.quitComplete = 1;
    auto r = Add(server.Url("/f.xml"));
    Engine(false).RequestCycle(); // as subscribing does
    ASSERT_TRUE(Engine().WaitForIdle(std::chrono::seconds(30)));
    EXPECT_TRUE(view.Posts().empty());
    EXPECT_TRUE(Engine().OnCheckForNewItems());
    ASSERT_TRUE(Engine().WaitForIdle(std::chrono::seconds(30)));
    EXPECT_EQ(view.Posts(), std::vector<int>{ID_QUIT});
    // Once a check of all ran, later cycles of any kind quit too.
    Engine().OnUpdateThisPodcast(r);
    ASSERT_TRUE(Engine().WaitForIdle(std::chrono::seconds(30)));
    EXPECT_EQ(view.Posts().size(), 2u);
}

TEST_F(EngineTest, CheckCommandMarksAndStartsOnlyWithSomethingToMark) {
    EXPECT_FALSE(Engine().OnCheckForNewItems()); // empty list
    auto r = Add("http://127.0.0.1:1/x.xml");    // newly added only
    EXPECT_FALSE(Engine().OnCheckForNewItems());
    EXPECT_FALSE(model.checkAllRequested);
    EXPECT_EQ(r->status, NewlyAdded);
    Engine().OnUpdateThisPodcast(nullptr); // nothing selected: nothing happens
    EXPECT_FALSE(Engine().IsBusy());
}

TEST_F(EngineTest, ShutdownCancelsAStalledTransferPromptly) {
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/stall.mp3")}}));
    server.ServePartial("/stall.mp3", 1000000, 1000, true);
    server.Start();
    options.http.stallTimeoutSeconds = 60;
    Add(server.Url("/f.xml"));
    Engine().RequestCycle();
    // Wait until the transfer has started.
    for (int i = 0; i < 2000 && !fs::exists(dir / "Show/stall.mp3.part"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(dir / "Show/stall.mp3.part"));
    const auto start = std::chrono::steady_clock::now();
    Engine().Shutdown();
    const auto took = std::chrono::steady_clock::now() - start;
    server.Stop();
    EXPECT_LT(took, std::chrono::seconds(20)); // far below the stall time-out
    EXPECT_FALSE(fs::exists(dir / "Show/stall.mp3.part"));
    EXPECT_FALSE(fs::exists(dir / "Show/stall.mp3"));
}
