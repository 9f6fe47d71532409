// The update engine against real HTTP on loopback and real files, including
// servers that cut, stall, send without end or never accept, and storage that
// vanishes or fills up.
#include "update/UpdateEngine.h"

#include "subscriptions/BaseDirectory.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/RecordingView.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {

class EngineTest : public testing::Test {
protected:
    EngineTest() {
        fs::create_directory(base); // one level down, so that a test can remove or replace it
        model.SetBaseDirectory(base.string() + "/");
        options.http.connectTimeoutSeconds = options.http.stallTimeoutSeconds = 5;
    }

    UpdateEngine& Engine(bool checkAndQuit = false) {
        if (!engine)
            engine = std::make_unique<UpdateEngine>(model, view, checkAndQuit, options);
        return *engine;
    }

    SubscriptionPtr Add(const std::string& url, const std::string& name = "") {
        return model.AddSubscription(url, name);
    }

    // Everything below `folder`, relative to it and sorted.
    static Texts Tree(const fs::path& folder) {
        Texts names;
        for (auto& entry : fs::recursive_directory_iterator(folder))
            names.push_back(fs::relative(entry.path(), folder).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // In this order, so that the engine is destroyed before everything it uses.
    TempDir root;
    fs::path base = root.Path() / "base";
    SharedModel model;
    RecordingView view;
    EngineOptions options;
    LoopbackServer server;
    std::unique_ptr<UpdateEngine> engine;
};

// `count` chunks of `piece`, then the connection ends without the final chunk.
void ServeChunked(LoopbackServer& server, const std::string& path, const std::string& piece,
                  size_t count, std::atomic<size_t>& produced) {
    server.Server().Get(path, [=, &produced](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(
            "text/xml", [=, &produced](size_t offset, httplib::DataSink& sink) {
                if (offset >= piece.size() * count)
                    return false;
                produced += piece.size();
                return sink.write(piece.data(), piece.size());
            });
    });
}

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

} // namespace

TEST_F(EngineTest, WalkFetchesDueFeedsIntoFoldersNamedByTheirTitles) {
    std::string big(2 << 20, '\0'); // large enough to arrive in many chunks, in order
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 251);
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
    EXPECT_TRUE(ReadFile(base / "Show A/ep.mp3") == big);
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
    const std::string feed = MakeFeed(
        "Show", {{server.Url("/have.mp3")}, {server.Url("/gone.mp3")}, {server.Url("/ok.mp3")}});
    server.Serve("/f.xml", feed);
    server.Serve("/have.mp3", "newer");
    server.Serve("/gone.mp3", "error page", "text/html", 404);
    server.Serve("/ok.mp3", "fine");
    server.Start();
    fs::create_directory(base / "Show");
    WriteFile(base / "Show/have.mp3", "kept");
    auto r = Add(server.Url("/f.xml"));

    Engine().CheckCycleProc();
    ASSERT_EQ(view.Rows().size(), 2u);
    EXPECT_EQ(view.Rows()[0][ColumnStatus], "Failed");
    EXPECT_EQ(server.Hits("/have.mp3"), 0);
    EXPECT_EQ(Tree(base / "Show"), (Texts{"have.mp3", "ok.mp3"})); // no error page

    // The failed one and a deleted one are queued again and fetched.
    fs::remove(base / "Show/ok.mp3");
    r->status = CheckPending;
    Engine().CheckCycleProc();
    EXPECT_EQ(r->status, NewItemsFound);
    EXPECT_EQ(view.Rows().size(), 4u);
    EXPECT_EQ(ReadFile(base / "Show/ok.mp3"), "fine");
    EXPECT_EQ(ReadFile(base / "Show/have.mp3"), "kept");
}

TEST_F(EngineTest, HostileTitlesAndOverlongNamesStayInsideTheBase) {
    const std::string title = "../../escape\\ed\x01";
    Texts names; // 251, 255 and 256 bytes: the last is too long for a folder entry
    std::vector<TestItem> items;
    for (size_t length : {251u, 255u, 256u}) {
        names.push_back(std::string(length - 4, 'n') + ".mp3");
        items.push_back({server.Url("/m/" + names.back())});
        server.Serve("/m/" + names.back(), std::to_string(length));
    }
    server.Serve("/f.xml", MakeFeed(title, items));
    server.Start();
    Add(server.Url("/f.xml"));

    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    const fs::path folder = base / FeedFolderName(title);
    EXPECT_EQ(Tree(folder), (Texts{names[0], names[1]})); // no stump of the one that failed
    EXPECT_EQ(Tree(root.Path()).size(), 5u); // and nothing beside the folder and the settings
    EXPECT_EQ(ReadFile(folder / names[1]), "255");
    EXPECT_EQ(view.Messages(), Texts{"Error creating file " + (folder / names[2]).string()});
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
        return view.Quits();
    };
    // With /checkandquit "Update this podcast" never quits; "Check for new
    // items" quits after its cycle, even with nothing queued.
    Engine(true);
    EXPECT_EQ(posts([&] { Engine().OnUpdateThisPodcast(r); }), 0u);
    EXPECT_EQ(posts([&] { EXPECT_TRUE(Engine().OnCheckForNewItems()); }), 1u);
    // Quit when complete: not before a check of all, then after any cycle.
    engine.reset();
    model.Reset(model.BaseDirectory()); // no "Check for new items" yet
    OptionSet quitComplete;
    quitComplete.quitComplete = 1;
    model.SetOptions(quitComplete);
    EXPECT_EQ(posts([&] { Engine(false).RequestCycle(); }), 1u);
    EXPECT_EQ(posts([&] { Engine().OnCheckForNewItems(); }), 2u);
    EXPECT_EQ(posts([&] { Engine().OnUpdateThisPodcast(r); }), 3u);
    EXPECT_EQ(view.CycleEnds(), 5u); // every cycle's end is told, quitting or not
}

TEST_F(EngineTest, CheckForNewItemsRunsWhenOnlyNewSubscriptionsAreDue) {
    server.Serve("/f.xml", MakeFeed("Show", {}));
    server.Start();
    // Nothing listed: nothing starts, and the check-of-all flag stays off.
    EXPECT_FALSE(Engine(true).OnCheckForNewItems());
    EXPECT_FALSE(model.QuitWanted(true));
    // Only a newly added subscription: it is checked, and /checkandquit ends.
    auto fresh = Add(server.Url("/f.xml"));
    EXPECT_TRUE(Engine().OnCheckForNewItems());
    EXPECT_TRUE(model.QuitWanted(true));
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(server.Hits("/f.xml"), 1);
    EXPECT_EQ(fresh->name, "Show");
    EXPECT_EQ(view.Quits(), 1u);
}

TEST_F(EngineTest, BrokenServersFailCleanlyKeepingNameDateAndNoFile) {
    // A listener whose queue of waiting connections is full: further
    // connection attempts get no answer at all.
    sockaddr_in address{
        .sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
    auto* a = reinterpret_cast<sockaddr*>(&address);
    socklen_t length = sizeof address;
    std::vector<int> deaf = {::socket(AF_INET, SOCK_STREAM, 0)};
    ASSERT_TRUE(!::bind(deaf[0], a, length) && !::listen(deaf[0], 0) &&
                !::getsockname(deaf[0], a, &length));
    for (int i = 0; i < 4; ++i) {
        deaf.push_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        ::connect(deaf.back(), a, length);
    }
    const std::string deafUrl = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    static std::atomic<size_t> produced; // outlives the test: the server ends after it
    produced = 0;
    // Broken feeds. The cut one has sent the channel and its item before it ends.
    const std::string feed = MakeFeed("Fine", {{server.Url("/ep.mp3")}});
    ServeChunked(server, "/cut.xml", feed.substr(0, feed.find("</channel>")), 1, produced);
    ServeChunked(server, "/endless.xml", "<rss><channel><title>Endless" + std::string(65000, ' '),
                 1024, produced); // 64 MB
    // A good feed whose enclosures are broken but one, reached through a redirect.
    const Texts enclosures = {server.Url("/huge.mp3"), deafUrl + "/ep.mp3", server.Url("/good")};
    server.ServePartial("/huge.mp3", size_t{11} << 29, 2 << 20, false); // 5.5 GiB: past 32 bits
    server.Server().Get("/good", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/files/good.mp3", 302);
    });
    server.Server().Get("/files/good.mp3", [](const httplib::Request& request, auto& response) {
        response.set_content("good " + request.get_header_value("User-Agent"), "audio/mpeg");
    });
    server.Serve("/show.xml",
                 MakeFeed("Show", {{enclosures[0]}, {enclosures[1]}, {enclosures[2]}}));
    server.Start();

    options = {.http = {.connectTimeoutSeconds = 1, .stallTimeoutSeconds = 1},
               .maxFeedBytes = 200000};
    Texts expected;
    std::vector<SubscriptionPtr> broken;
    for (const std::string& url :
         {server.Url("/cut.xml"), server.Url("/endless.xml"), deafUrl + "/feed.xml"}) {
        broken.push_back(Add(url, "Keep " + url));
        broken.back()->status = CheckPending;
        broken.back()->lastChecked = OleDateTime::FromFields({2001, 2, 3, 4, 5, 6});
        expected.push_back("Could not open " + url);
    }
    const SubscriptionPtr show = Add(server.Url("/show.xml"));
    expected.push_back("Could not open " + deafUrl + "/ep.mp3"); // cut bodies are not reported

    EXPECT_EQ(Engine().CheckCycleProc(), 0);
    for (const SubscriptionPtr& r : broken) {
        EXPECT_EQ(r->status, Error) << r->url;
        EXPECT_EQ(r->name, "Keep " + r->url);
        EXPECT_EQ(r->lastChecked.FormatStored(), "03.02.2001 04:05:06") << r->url;
    }
    EXPECT_EQ(show->status, NewItemsFound);
    EXPECT_EQ(view.Messages(), expected);
    EXPECT_LT(produced, size_t{32} << 20); // the endless feed was cut at the limit
    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), enclosures.size());
    EXPECT_EQ(rows[0][ColumnSize], "5632.0MB");
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][ColumnStatus], i == 2 ? "Completed" : "Failed") << i;
    EXPECT_EQ(Tree(base), (Texts{"Show", "Show/good", kSettingsFileName}));
    EXPECT_EQ(ReadFile(base / "Show/good"), "good Tessarine/1.0"); // only the final response
    for (int fd : deaf)
        ::close(fd);
}

TEST_F(EngineTest, UnwritableTargetFailsWithItsPathAndLeavesNothing) {
    struct Case {
        const char* what;
        std::function<void()> midCycle; // strikes when the feed is asked for
        rlim_t diskFull;                // file size limit during the cycle, or 0
        Texts tree;                     // under the root after the cycle
    };
    const auto replaceByFile = [](fs::path path) {
        return [path] {
            fs::remove_all(path);
            WriteFile(path, "a file");
        };
    };
    const std::string settings = std::string("base/") + kSettingsFileName;
    const Case cases[] = {
        {"feed folder is a file", replaceByFile(base / "Show"), 0, {"base", "base/Show", settings}},
        {"base directory removed", [this] { fs::remove_all(base); }, 0, {}},
        {"base directory is a file", replaceByFile(base), 0, {"base"}},
        {"disk full", nullptr, 256 * 1024, {"base", "base/Show", settings}},
    };
    std::atomic<const Case*> armed{nullptr};
    std::atomic<int> struck{0}; // read below, it also orders the fault before the checks
    server.Server().Get("/f.xml", [&](const httplib::Request&, httplib::Response& res) {
        if (const Case* c = armed.exchange(nullptr); c && c->midCycle) {
            c->midCycle();
            ++struck;
        }
        res.set_content(MakeFeed("Show", {{server.Url("/ep.mp3")}}), "text/xml");
    });
    server.Serve("/ep.mp3", std::string(1 << 20, 'e'));
    server.Start();
    auto r = Add(server.Url("/f.xml"), "Show");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(base);
        fs::create_directory(base);
        armed = &c;
        r->status = CheckPending;
        WithDiskFull(c.diskFull, [&] { EXPECT_EQ(Engine().CheckCycleProc(), 0); });
        EXPECT_EQ(struck.exchange(0), c.midCycle ? 1 : 0);
        EXPECT_EQ(view.Rows().back()[ColumnStatus], "Failed");
        EXPECT_EQ(view.Messages().back(), "Error creating file " + (base / "Show/ep.mp3").string());
        EXPECT_EQ(Tree(root.Path()), c.tree);
    }
}

TEST_F(EngineTest, FullDiskDuringASettingsSaveKeepsTheOldFile) {
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
