// The update engine against real HTTP on loopback and real files.
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "support/Feeds.h"
#include "update/EngineFixture.h"

#include <atomic>
#include <thread>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {
class EngineTest : public EngineFixture {};
} // namespace

TEST_F(EngineTest, WalkFetchesDueFeedsIntoFoldersNamedByTheirTitles) {
    const std::string big(2 << 20, 'a');
    server.Serve("/a.xml",
                 MakeFeed("Show A", {{server.Url("/1/ep.mp3")}, {server.Url("/2/ep.mp3")}}));
    server.Serve("/b.xml", MakeFeed("Show B", {}));
    server.Serve("/1/ep.mp3", big);
    server.Serve("/2/ep.mp3", "same name, other file");
    server.Start();
    auto fresh = Add(server.Url("/a.xml"));             // newly added: due
    auto idle = Add(server.Url("/b.xml"), "Untouched"); // idle: passed over

    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    EXPECT_EQ(fresh->status, NewItemsFound);
    EXPECT_EQ(fresh->name, "Show A");
    EXPECT_EQ(idle->status, Idle);
    EXPECT_EQ(server.Hits("/b.xml"), 0);
    EXPECT_EQ(ReadFile(base / "Show A/ep.mp3"), big);
    EXPECT_NE(ReadFile(base / kSettingsFileName).find(">Show A</feed>"), std::string::npos);
    // The same file name twice: both are queued, the second finds the file.
    ASSERT_EQ(view.Rows().size(), 2u);
    EXPECT_EQ(server.Hits("/2/ep.mp3"), 0);
    EXPECT_EQ(view.Rows()[1][ColumnStatus], "Completed");
    EXPECT_EQ(view.Rows()[0][ColumnSize], "2.0MB");
    EXPECT_EQ(view.CellHistory(0, ColumnStatus), (Texts{"Waiting", "Downloading", "Completed"}));
    // Progress from 0% to 100%, each whole percentage shown once at most.
    const auto progress = view.CellHistory(0, ColumnProgress);
    EXPECT_EQ(progress.front(), "0%");
    EXPECT_EQ(progress.back(), "100%");
    EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end()), progress.end());
}

TEST_F(EngineTest, OnlyMissingFilesAreQueuedAndFailedOnesLeaveNothingAndComeBack) {
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/have.mp3")}, {server.Url("/gone.mp3")},
                                             {server.Url("/cut.mp3")}, {server.Url("/ok.mp3")}}));
    server.Serve("/have.mp3", "newer");
    server.Serve("/gone.mp3", "error page", "text/html", 404);
    server.ServePartial("/cut.mp3", 100000, 1000, false);
    server.Serve("/ok.mp3", "fine");
    server.Start();
    fs::create_directory(base / "Show");
    WriteFile(base / "Show/have.mp3", "kept");
    auto r = Add(server.Url("/f.xml"));

    Engine().CheckCycleProc();
    ASSERT_EQ(view.Rows().size(), 3u);
    for (size_t row = 0; row < 3; ++row)
        EXPECT_EQ(view.Rows()[row][ColumnStatus], row < 2 ? "Failed" : "Completed");
    EXPECT_EQ(server.Hits("/have.mp3"), 0);
    EXPECT_EQ(Tree(base / "Show"), (Texts{"have.mp3", "ok.mp3"})); // no error page, no stump

    // The failed ones and a deleted one are queued again and fetched.
    fs::remove(base / "Show/ok.mp3");
    r->status = CheckPending;
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, NewItemsFound);
    EXPECT_EQ(view.Rows().size(), 6u);
    EXPECT_EQ(ReadFile(base / "Show/ok.mp3"), "fine");
    EXPECT_EQ(ReadFile(base / "Show/have.mp3"), "kept");
}

TEST_F(EngineTest, HostileAndOverlongNamesStayInsideTheBase) {
    const std::string title = "../../escape\\ed\x01";
    std::vector<TestItem> items;
    Texts names{"..", "ep.mp3?id=7#t", "%2e%2e%2fup.mp3"}; // then 251, 255 and 256 bytes
    for (size_t length : {251u, 255u, 256u})
        names.push_back(std::string(length - 4, 'n') + ".mp3");
    for (const std::string& name : names) {
        items.push_back({server.Url("/m/" + name)});
        server.Serve("/m/" + name.substr(0, name.find('?')), std::to_string(name.size()));
    }
    server.Serve("/f.xml", MakeFeed(title, items));
    server.Start();
    Add(server.Url("/f.xml"));

    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    const fs::path folder = base / FeedFolderName(title);
    EXPECT_EQ(folder.parent_path(), base);
    EXPECT_EQ(view.Rows().at(0)[ColumnFile], "output"); // ".." as a file name
    EXPECT_EQ(ReadFile(folder / "ep.mp3"), "13");
    EXPECT_EQ(ReadFile(folder / names[3]), "251");
    EXPECT_EQ(ReadFile(folder / names[4]), "255");
    // A name no folder entry can hold fails with the full target path.
    EXPECT_EQ(view.Messages(), Texts{"Error creating file " + folder.string() + "/" + names[5]});
    const std::string inside = fs::canonical(base).string();
    for (auto& entry : fs::recursive_directory_iterator(root.Path())) {
        EXPECT_EQ(fs::canonical(entry.path()).string().rfind(inside, 0), 0u) << entry.path();
        EXPECT_NE(entry.path().extension(), ".part");
    }
    EXPECT_FALSE(fs::exists(root.Path().parent_path() / "escape"));
}

TEST_F(EngineTest, CyclesNeverOverlapAndARequestDuringACycleRunsAfterIt) {
    std::atomic<bool> asked{false}, release{false};
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& res) {
        asked = true;
        for (int i = 0; i < 3000 && !release; ++i) // held until the test lets go
            std::this_thread::sleep_for(10ms);
        res.set_content(MakeFeed("A", {}), "text/xml");
    });
    server.Serve("/b.xml", MakeFeed("B", {}));
    server.Start();
    auto b = Add(server.Url("/b.xml"), "B"); // idle: the first cycle passes it over
    auto a = Add(server.Url("/a.xml"));      // newly added: due
    Engine().RequestCycle();
    for (int i = 0; i < 3000 && !asked; ++i)
        std::this_thread::sleep_for(10ms);
    // Marking the record the walk has passed asks for one more cycle; one
    // run beside this cycle would fetch B while A is held.
    Engine().OnUpdateThisPodcast(b);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(server.Hits("/b.xml"), 0);
    release = true;
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(server.Hits("/b.xml"), 1);
    EXPECT_EQ(a->name, "A");
    EXPECT_EQ(b->status, NoNewItems);
}

TEST_F(EngineTest, QuitRule) {
    server.Serve("/f.xml", MakeFeed("Show", {}));
    server.Start();
    auto r = Add(server.Url("/f.xml"), "Show");
    const auto posts = [&](auto command) {
        command();
        EXPECT_TRUE(Engine().WaitForIdle(30s));
        return view.Posts().size();
    };
    // With /checkandquit "Update this podcast" never quits; "Check for new
    // items" quits after its cycle, even with nothing queued.
    Engine(true);
    EXPECT_EQ(posts([&] { Engine().OnUpdateThisPodcast(r); }), 0u);
    EXPECT_EQ(posts([&] { EXPECT_TRUE(Engine().OnCheckForNewItems()); }), 1u);
    // Quit when complete: not before a check of all, then after any cycle.
    engine.reset();
    model.checkAllRequested = false;
    model.options.quitComplete = 1;
    EXPECT_EQ(posts([&] { Engine(false).RequestCycle(); }), 1u);
    EXPECT_EQ(posts([&] { Engine().OnCheckForNewItems(); }), 2u);
    EXPECT_EQ(posts([&] { Engine().OnUpdateThisPodcast(r); }), 3u);
    EXPECT_EQ(view.Posts(), std::vector<int>(3, ID_QUIT));
}

TEST_F(EngineTest, ShutdownCancelsAStalledTransfer) {
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/stall.mp3")}}));
    server.ServePartial("/stall.mp3", 1000000, 1000, true);
    server.Start();
    options.http.stallTimeoutSeconds = 60;
    Add(server.Url("/f.xml"));
    Engine().RequestCycle();
    for (int i = 0; i < 3000 && !fs::exists(base / "Show/stall.mp3.part"); ++i)
        std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(base / "Show/stall.mp3.part"));
    const auto start = std::chrono::steady_clock::now();
    Engine().Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 30s); // far below the stall time-out
    server.Stop();
    EXPECT_EQ(Tree(base / "Show"), Texts{});
}
