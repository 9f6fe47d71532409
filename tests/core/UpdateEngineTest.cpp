// The update engine against real HTTP on loopback and real files.
#include "core/update/UpdateEngine.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/FeedCache.h"
#include "core/files/BaseDirectory.h"
#include "core/model/CheckHistory.h"
#include "core/model/SettingsFile.h"
#include "core/update/PartialFile.h"
#include "core/util/Strings.h"
#include "support/EventRecorder.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/RawReplyServer.h"
#include "support/TestClock.h"
#include "support/TestSupport.h"
#include "support/UpdateEngineTestAccess.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <regex>
#include <set>
#include <thread>
#include <tuple>
#include <type_traits>
#include <variant>

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
        options.feedCacheDirectory = cacheRoot.Path().string(); // one cache per test
    }

    UpdateEngine& Engine(bool checkAndQuit = false) {
        if (!engine)
            engine = std::make_unique<UpdateEngine>(model, view, checkAndQuit, options);
        return *engine;
    }

    SubscriptionPtr Add(const std::string& url, const std::string& name = "") {
        return model.AddSubscription(url, name);
    }
    // Due at the next cycle whatever its status, as after "Update this podcast".
    SubscriptionPtr AddPending(const std::string& url, const std::string& name = "") {
        SubscriptionPtr record = Add(url, name);
        record->status = CheckPending;
        return record;
    }
    // One cycle of this test's engine, `record` due first.
    void Check(const SubscriptionPtr& record = nullptr) {
        if (record)
            record->status = CheckPending;
        EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(Engine()), 0);
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
    TempDir cacheRoot;
    TempDir root;
    fs::path base = root.Path() / "base";
    SharedModel model;
    EventRecorder view;
    EngineOptions options;
    TestClock clock; // the engine's only when a test sets options.clock
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

// Runs `action` with written files limited to `bytes` (0: no new limit), as a
// full disk would: with SIGXFSZ ignored a write fails with EFBIG.
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

// Counts the replacements of the settings file in `folder` since construction.
class SettingsWrites {
public:
    explicit SettingsWrites(const fs::path& folder) {
        fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        // Creations keep two replacements from merging into one event.
        inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CREATE);
    }
    ~SettingsWrites() { ::close(fd_); }
    int Count() {
        alignas(inotify_event) char buffer[65536];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & IN_MOVED_TO) && event->len > 0 &&
                    std::string(event->name) == kSettingsFileName)
                    ++count_;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return count_;
    }

private:
    int fd_ = -1;
    int count_ = 0;
};

// Partial files and resume information below `folder`.
Texts PartialNames(const fs::path& folder) {
    Texts names;
    for (auto& entry : fs::directory_iterator(folder))
        if (EnclosureNames::IsPartialName(entry.path().filename().string()))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Whether two recorded events say the same, field by field.
bool SameEvent(const Event& a, const Event& b) {
    if (a.index() != b.index())
        return false;
    return std::visit(
        [&b](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            const T& y = std::get<T>(b);
            if constexpr (std::is_same_v<T, FeedCheckBeganEvent>)
                return x.url == y.url;
            else if constexpr (std::is_same_v<T, FeedCheckEnd>)
                return std::tie(x.url, x.name, x.status, x.failure) ==
                       std::tie(y.url, y.name, y.status, y.failure);
            else if constexpr (std::is_same_v<T, QueuedDownload>)
                return std::tie(x.index, x.podcast, x.fileName, x.url, x.announcedSize) ==
                       std::tie(y.index, y.podcast, y.fileName, y.url, y.announcedSize);
            else if constexpr (std::is_same_v<T, DownloadStateEvent>)
                return std::tie(x.index, x.state, x.reason) == std::tie(y.index, y.state, y.reason);
            else if constexpr (std::is_same_v<T, DownloadProgressEvent>)
                return std::tie(x.index, x.received, x.total) ==
                       std::tie(y.index, y.received, y.total);
            else if constexpr (std::is_same_v<T, Message>)
                return std::tie(x.kind, x.id, x.args, x.reason) ==
                       std::tie(y.kind, y.id, y.args, y.reason);
            else if constexpr (std::is_same_v<T, CycleEndedEvent>)
                return x.quit == y.quit;
            else
                return true;
        },
        a);
}

} // namespace

TEST_F(EngineTest, WalkFetchesDueFeedsIntoFoldersNamedByTheirTitles) {
    std::string big(2 << 20, '\0'); // many chunks, in order
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i % 251);
    server.Serve("/a.xml", MakeFeed("Show A", {{server.Url("/ep.mp3")}}));
    server.Serve("/b.xml", MakeFeed("Show B", {}));
    server.Serve("/ep.mp3", big);
    server.Start();
    auto fresh = Add(server.Url("/a.xml"));             // newly added: due
    auto idle = Add(server.Url("/b.xml"), "Untouched"); // idle: passed over

    Check();
    EXPECT_EQ(fresh->status, NewItemsFound);
    EXPECT_EQ(fresh->name, "Show A");
    EXPECT_EQ(idle->status, Idle);
    EXPECT_EQ(server.Hits("/b.xml"), 0);
    EXPECT_TRUE(ReadFile(base / "Show A/ep.mp3") == big);
    ASSERT_EQ(view.Rows().size(), 1u);
    EXPECT_EQ(view.Rows()[0][ColumnFile], "ep.mp3");
    EXPECT_EQ(view.Rows()[0][ColumnSize], "2.0MB");
    EXPECT_EQ(view.CellHistory(0, ColumnStatus), (Texts{"Waiting", "Downloading", "Completed"}));
    // Progress from 0% to 100%, each whole percentage shown once at most.
    const auto progress = view.CellHistory(0, ColumnProgress);
    EXPECT_EQ(progress.front(), "0%");
    EXPECT_EQ(progress.back(), "100%");
    EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end()), progress.end());
}

TEST_F(EngineTest, EveryEnclosureGetsAFileOfItsOwnOnceAndNeverTakesAnotherFilesPlace) {
    // What large hosts and scripts serve: one last segment for every episode.
    // Names of 251, 255 and 256 bytes: the last, shortened, meets the second
    // and both take tags. One that, shortened and tagged, still begins as the
    // archive's temporary files do takes a "_" in front.
    const std::string n255 = std::string(251, 'n') + ".mp3";
    const Texts paths = {"/s/show/e/1/media.mp3", "/s/show/e/2/media.mp3", "/feed.xml", "/ep.mp3",
                         "/ep.mp3.part", "/m/" + std::string(247, 'n') + ".mp3", "/m/" + n255,
                         "/m/n" + n255, "/m/feed.xml.tmp" + std::string(250, 'a') + ".mp3"};
    std::vector<TestItem> items;
    for (const std::string& path : paths) {
        server.Serve(path, "bytes of " + path);
        items.push_back({server.Url(path)});
    }
    std::atomic<int> scriptHits{0};
    server.Server().Get("/download.php", [&](const httplib::Request& request, auto& response) {
        ++scriptHits;
        response.set_content("script " + request.get_param_value("id"), "audio/mpeg");
    });
    items.push_back({server.Url("/download.php?id=1")});
    items.push_back({server.Url("/download.php?id=2")});
    const std::string title = "../../escape\\ed\x01"; // the folder stays inside the base
    server.Serve("/f.xml", MakeFeed(title, items));
    server.Start();
    auto r = Add(server.Url("/f.xml"), title); // its folder made below holds the archive
    const std::string reserved =
        EnclosureNames({items[8].enclosureUrl}).NameOf(items[8].enclosureUrl);
    EXPECT_TRUE(reserved.starts_with("_feed.xml.tmpaaa") && reserved.size() == 255) << reserved;
    const auto tagged = [&](const std::string& url, const std::string& stem,
                            const std::string& extension) {
        return stem + "-" + EnclosureNames::Tag(url, 8) + extension;
    };
    const std::string script1 = tagged(items[9].enclosureUrl, "download", ".php"),
                      script2 = tagged(items[10].enclosureUrl, "download", ".php");
    const std::map<std::string, std::string> files = {
        {tagged(items[0].enclosureUrl, "media", ".mp3"), "bytes of " + paths[0]},
        {tagged(items[1].enclosureUrl, "media", ".mp3"), "bytes of " + paths[1]},
        {tagged(items[2].enclosureUrl, "feed", ".xml"), "bytes of " + paths[2]},
        {"ep.mp3", "bytes of " + paths[3]},
        {"ep.mp3.part", "bytes of " + paths[4]},
        {paths[5].substr(3), "bytes of " + paths[5]},
        {EnclosureNames::Tagged(n255, EnclosureNames::Tag(items[6].enclosureUrl, 8)),
         "bytes of " + paths[6]},
        {EnclosureNames::Tagged(n255, EnclosureNames::Tag(items[7].enclosureUrl, 8)),
         "bytes of " + paths[7]},
        {reserved, "bytes of " + paths[8]},
        {script1, "script 1"},
        {script2, "script 2"}};

    // A partial file linking elsewhere keeps its target; a killed run's leftover goes.
    const fs::path folder = base / FeedFolderName(title);
    fs::create_directory(folder);
    WriteFile(root.Path() / "victim", "victim");
    fs::create_symlink(root.Path() / "victim",
                       PartialFile::PathFor((folder / script1).string()));
    WriteFile(PartialFile::PathFor((folder / "ep.mp3").string()), "stale");

    const auto check = [&] {
        Check(r);
        Texts expected = {"feed.xml"};
        for (const auto& [name, bytes] : files) {
            EXPECT_EQ(ReadFile(folder / name), bytes) << name;
            expected.push_back(name);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Tree(folder), expected);                               // no partial files
        EXPECT_EQ(Tree(root.Path()).size(), expected.size() + 4); // base, settings, folder, victim
        EXPECT_TRUE(ReadFile(folder / "feed.xml").starts_with("<?xml")); // the archive stays one
        EXPECT_EQ(ReadFile(root.Path() / "victim"), "victim");
    };
    check();
    EXPECT_EQ(r->status, NewItemsFound);
    EXPECT_EQ(view.Rows().size(), items.size());
    const std::string archive = ReadFile(folder / "feed.xml");

    // A second check fetches nothing again.
    check();
    EXPECT_EQ(r->status, NoNewItems);
    EXPECT_EQ(view.Rows().size(), items.size());
    for (const std::string& path : paths)
        EXPECT_EQ(server.Hits(path), 1) << path;
    EXPECT_EQ(scriptHits, 2);
    EXPECT_EQ(ReadFile(folder / "feed.xml"), archive);

    // A deleted episode comes back under its name, alone.
    fs::remove(folder / script2);
    check();
    EXPECT_EQ(r->status, NewItemsFound);
    EXPECT_EQ(view.Rows().size(), items.size() + 1);
    EXPECT_EQ(view.Rows().back()[ColumnFile], script2);
    int hits = scriptHits;
    for (const std::string& path : paths)
        hits += server.Hits(path);
    EXPECT_EQ(hits, static_cast<int>(items.size()) + 1);
    EXPECT_EQ(view.Messages(), Texts{});
}

TEST_F(EngineTest, AnEmptyBodyOrALengthThatIsNoNumberFailsAndIsFetchedAgain) {
    RawReplyServer raw;
    const struct {
        const char* path;
        std::string head; // after the status line
        std::string body; // then the connection closes
        bool opened;      // else "Could not open" is said
    } cases[] = {
        {"/empty.mp3", "Content-Length: 0", "", true},
        {"/unannounced.mp3", "Connection: close", "", true},
        {"/hex.mp3", "Content-Length: 0x10", std::string(16, 'h'), false},
        {"/huge.mp3", "Content-Length: 99999999999999999999999", std::string(30, 'u'), false},
    };
    std::vector<TestItem> items;
    Texts messages;
    for (const auto& c : cases) {
        raw.Serve(c.path, "HTTP/1.1 200 OK\r\n" + c.head + "\r\n\r\n" + c.body);
        items.push_back({raw.Url(c.path)});
        if (!c.opened)
            messages.push_back("Could not open " + raw.Url(c.path));
    }
    // The same number repeated is one length, as a proxy may join the lines.
    raw.Serve("/listed.mp3", "HTTP/1.1 200 OK\r\nContent-Length: 5, 5\r\n\r\nlisted");
    items.push_back({raw.Url("/listed.mp3")});
    server.Serve("/f.xml", MakeFeed("Show", items));
    server.Start();
    fs::create_directory(base / "Show"); // the archive's folder
    auto r = Add(server.Url("/f.xml"), "Show");

    for (int check = 1; check <= 2; ++check) {
        SCOPED_TRACE(check);
        Check(r);
        // Only the good one is there, with the bytes it announced; no partial files.
        EXPECT_EQ(Tree(base / "Show"), (Texts{"feed.xml", "listed.mp3"}));
        EXPECT_EQ(ReadFile(base / "Show/listed.mp3"), "liste");
        for (const DownloadRow& row : view.Rows())
            EXPECT_EQ(row[ColumnStatus], row[ColumnFile] == "listed.mp3" ? "Completed" : "Failed")
                << row[ColumnFile];
        // A reply that cannot be read is said; an empty one fails as an error page does.
        if (check == 1) {
            EXPECT_EQ(view.Messages(), messages);
        }
        for (const std::string& message : view.Messages())
            EXPECT_NE(std::find(messages.begin(), messages.end(), message), messages.end());
    }
    for (const auto& c : cases)
        EXPECT_GT(raw.Hits(c.path), 1) << c.path; // tried again at the next check
    EXPECT_EQ(raw.Hits("/listed.mp3"), 1);
}

TEST_F(EngineTest, FeedDocumentsNamesAndRelativeUrls) {
    const auto untitled = [](const std::string& enclosure) {
        return "<rss><channel><title> </title><item><enclosure url=\"" + enclosure +
               "\"/></item></channel></rss>";
    };
    server.Serve("/page.html",
                 "<html><head><title>Service Unavailable</title></head><body></body></html>",
                 "text/html");
    server.Serve("/kept.xml", untitled("/kept.mp3"));
    server.Serve("/kept.mp3", "kept");
    server.Serve("/x/notitle.xml", untitled("n.mp3"));
    server.Serve("/y/notitle.xml", untitled("n.mp3"));
    server.Serve("/x/n.mp3", "x");
    server.Serve("/y/n.mp3", "y");
    server.Start();

    std::vector<SubscriptionPtr> named;
    for (const auto& [path, name] : std::map<std::string, std::string>{
             {"/kept.xml", "Keep kept"}, {"/page.html", "Keep page"}})
        named.push_back(AddPending(server.Url(path), name));
    auto x = Add(server.Url("/x/notitle.xml"));
    auto y = Add(server.Url("/y/notitle.xml"));

    Check();
    // Not a feed: an error, the name kept.
    EXPECT_EQ(view.Messages(), Texts{"Could not open " + server.Url("/page.html")});
    EXPECT_EQ(named[1]->status, Error);
    EXPECT_EQ(named[1]->name, "Keep page");
    // Without a title the name stays, or is made from the URL, one per feed.
    EXPECT_EQ(named[0]->name, "Keep kept");
    const std::string host = server.Url("").substr(7);
    EXPECT_EQ(x->name, host + " - notitle.xml");
    EXPECT_EQ(y->name, host + " - notitle.xml " + EnclosureNames::Tag(y->url, 8));
    for (const SubscriptionPtr& r : {x, y, named[0]})
        EXPECT_EQ(r->status, NewItemsFound) << r->url;
    EXPECT_EQ(ReadFile(base / "Keep kept/kept.mp3"), "kept");
    EXPECT_EQ(ReadFile(base / FeedFolderName(x->name) / "n.mp3"), "x");
    EXPECT_EQ(ReadFile(base / FeedFolderName(y->name) / "n.mp3"), "y");
    // Nothing lands in the base directory itself.
    for (const auto& entry : fs::directory_iterator(base))
        EXPECT_TRUE(entry.is_directory() || entry.path().filename() == kSettingsFileName)
            << entry.path();
}

TEST_F(EngineTest, AWebPageGivesItsFeedAndEveryUrlIsAskedForAsABrowserAsks) {
    const std::string name = "my \xC3\xA9pisode.mp3"; // a blank and a letter beyond ASCII
    server.Serve("/show/",
                 "<!DOCTYPE html>\n<html><head><title>Show</title><link rel=\"alternate\" "
                 "type=\"application/rss+xml\" title=\"Show\" href=\"feed.xml\"></head></html>",
                 "text/html");
    server.Serve("/show/feed.xml",
                 MakeFeed("Paged", {{"media/" + name}, {server.Url("/show/media/other " + name)}}),
                 "application/rss+xml");
    std::mutex mutex;
    std::set<std::string> targets;
    server.Server().Get("/show/media/.*", [&](const httplib::Request& request,
                                              httplib::Response& response) {
        std::lock_guard lock(mutex);
        targets.insert(request.target);
        response.set_content("audio of " + request.path, "audio/mpeg");
    });
    server.Serve("/about.html", "<html><head><title>About</title></head></html>", "text/html");
    server.Start();

    const SubscriptionPtr paged = Add(server.Url("/show/"));
    const SubscriptionPtr about = Add(server.Url("/about.html"));
    Check();
    // The page's record took the feed and was read from it at once.
    EXPECT_EQ(paged->url, server.Url("/show/feed.xml"));
    EXPECT_EQ(paged->name, "Paged");
    EXPECT_EQ(paged->status, NewItemsFound);
    EXPECT_EQ(about->url, server.Url("/about.html"));
    EXPECT_EQ(about->status, Error);
    EXPECT_EQ(view.Messages(),
              (Texts{"The web page " + server.Url("/show/") + " names the feed " +
                         server.Url("/show/feed.xml") + ". Subscribed to that feed.",
                     "Error!\n\nThe web page " + server.Url("/about.html") +
                         " names no feed. Please give the address of the podcast's feed itself."}));
    const auto stored = ReadSettingsFile(SettingsFilePath(model.BaseDirectory()));
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->feeds.size(), 2u);
    EXPECT_EQ(stored->feeds[0].url, server.Url("/show/feed.xml"));

    // Asked for encoded; the files and the archive keep the names as written.
    {
        std::lock_guard lock(mutex); // the server's threads wrote it
        EXPECT_EQ(targets, (std::set<std::string>{"/show/media/my%20%C3%A9pisode.mp3",
                                                  "/show/media/other%20my%20%C3%A9pisode.mp3"}));
    }
    EXPECT_EQ(ReadFile(base / "Paged" / name), "audio of /show/media/" + name);
    EXPECT_EQ(ReadFile(base / "Paged" / ("other " + name)), "audio of /show/media/other " + name);

    // From now on the feed is fetched, never the page; a page that names no
    // feed says so at every check until its address gives a feed.
    Check(paged);
    Check(about);
    const std::string archive = ReadFile(base / "Paged" / kArchiveFileName);
    for (const std::string& link :
         {server.Url("/show/media/" + name), server.Url("/show/media/other " + name)})
        EXPECT_NE(archive.find("<link>" + link + "</link>"), std::string::npos) << archive;
    EXPECT_EQ(server.Hits("/show/"), 1);
    EXPECT_EQ(server.Hits("/show/feed.xml"), 2);
    EXPECT_EQ(view.Messages().size(), 3u);
    EXPECT_EQ(view.Messages().back(), view.Messages()[1]);
}

TEST_F(EngineTest, CyclesNeverOverlapAndARequestDuringACycleRunsAfterIt) {
    std::atomic<bool> asked{false}, release{false}, bDuringA{false};
    std::atomic<int> bAsked{0};
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& res) {
        asked = true;
        Await([&] { return release.load(); }, 30s); // held until the test lets go
        res.set_content(MakeFeed("A", {}), "text/xml");
    });
    server.Server().Get("/b.xml", [&](const httplib::Request&, httplib::Response& res) {
        ++bAsked;
        bDuringA = bDuringA || !release; // asked for while the first cycle holds A
        res.set_content(MakeFeed("B", {}), "text/xml");
    });
    server.Start();
    auto b = Add(server.Url("/b.xml"), "B"); // idle: the first cycle passes it over
    auto a = Add(server.Url("/a.xml"));      // newly added: due
    Engine().RequestCycle();
    ASSERT_TRUE(Await([&] { return asked.load(); }));
    // Marking a passed record asks for one more cycle, not one beside this.
    Engine().OnUpdateThisPodcast(b);
    release = true;
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(bAsked, 1);
    EXPECT_FALSE(bDuringA);
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
    // With /checkandquit only "Check for new items" quits, even with nothing queued.
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
    EXPECT_FALSE(Engine(true).OnCheckForNewItems()); // an empty list: no cycle, no flag
    EXPECT_FALSE(model.QuitWanted(true));
    auto fresh = Add(server.Url("/f.xml"));
    EXPECT_TRUE(Engine().OnCheckForNewItems());
    EXPECT_TRUE(model.QuitWanted(true));
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(fresh->name, "Show");
    EXPECT_EQ(view.Quits(), 1u);
}

TEST_F(EngineTest, HowTheLastChecksEndedIsKeptPerBaseDirectoryBesideTheCache) {
    const std::string folder = (root.Path() / "cache/tessarine/checks").string();
    model.SetCheckHistoryDirectory(folder);
    server.Serve("/good.xml", MakeFeed("Good", {}));
    server.Serve("/bad.xml", "gone", "text/plain", 404);
    server.Start();
    model.LoadSettings(); // no settings file: an empty list and no record yet
    const SubscriptionPtr good = Add(server.Url("/good.xml"));
    Add(server.Url("/bad.xml"));
    Add("http://127.0.0.1:9/never.xml", "Never"); // idle: not checked
    Engine().RequestCycle();
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    const std::string file = CheckHistory::FileFor(folder, base.string());
    ASSERT_TRUE(fs::exists(file));

    // The next run on the same base directory, however it is spelled, knows.
    const auto statuses = [&](const std::string& spelling) {
        SharedModel next;
        next.SetBaseDirectory(spelling);
        next.SetCheckHistoryDirectory(folder);
        next.LoadSettings();
        // The records as loaded (the engine saved the settings), else new ones.
        const auto recordOf = [&](const std::string& url) {
            for (const SubscriptionSnapshot& s : next.SnapshotSubscriptions())
                if (s.values.url == url)
                    return s.record;
            return next.AddSubscription(url, "");
        };
        std::vector<int32_t> found;
        for (const std::string& url : {server.Url("/good.xml"), server.Url("/bad.xml"),
                                       std::string("http://127.0.0.1:9/never.xml")})
            found.push_back(next.LastCheckStatus(recordOf(url)));
        return found;
    };
    EXPECT_EQ(statuses(base.string() + "/./"), (std::vector<int32_t>{NoNewItems, Error, Idle}));

    // An unchanged outcome leaves the file alone; a file cut short, or one
    // written for another base directory, counts for nothing.
    const std::string bytes = ReadFile(file);
    WriteFile(file, bytes + "4\thttp://127.0.0.1:9/never.xml");
    EXPECT_EQ(statuses(base.string()), (std::vector<int32_t>{NoNewItems, Error, Idle}));
    Engine().OnUpdateThisPodcast(good);
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(server.Hits("/good.xml"), 2);
    EXPECT_EQ(ReadFile(file), bytes + "4\thttp://127.0.0.1:9/never.xml");
    std::string foreign = bytes;
    foreign.replace(foreign.find(base.string()), base.string().size(), "/elsewhere");
    WriteFile(file, foreign);
    EXPECT_EQ(statuses(base.string()), (std::vector<int32_t>{Idle, Idle, Idle}));
}

TEST_F(EngineTest, BrokenServersFailCleanlyKeepingNameDateAndNoFile) {
    // A listener whose backlog is full: further connections get no answer.
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
    // Well-formed, but the connection ends before the announced length.
    server.Server().Get("/short.xml", [feed](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(
            feed.size() + 100, "text/xml", [feed](size_t offset, size_t, httplib::DataSink& sink) {
                return offset == 0 && sink.write(feed.data(), feed.size());
            });
    });
    server.Serve("/nolocation.xml", feed, "text/xml", 301);
    // A good feed whose enclosures are broken but one, reached through a redirect;
    // only a whole reply counts.
    const Texts enclosures = {server.Url("/huge.mp3"), deafUrl + "/ep.mp3", server.Url("/good"),
                              server.Url("/empty"),    server.Url("/moved"), server.Url("/error"),
                              server.Url("/short")};
    server.Serve("/empty", "", "audio/mpeg", 204);
    server.Serve("/moved", "<html>Moved</html>", "text/html", 302); // no Location
    server.Serve("/error", "<html>Error</html>", "text/html", 500);
    server.ServePartial("/short", 100000, 40000, false);
    server.ServePartial("/huge.mp3", size_t{11} << 29, 2 << 20, false); // 5.5 GiB: past 32 bits
    server.Server().Get("/good", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/files/good.mp3", 302);
    });
    server.Server().Get("/files/good.mp3", [](const httplib::Request& request, auto& response) {
        response.set_content("good " + request.get_header_value("User-Agent"), "audio/mpeg");
    });
    std::vector<TestItem> items;
    for (const std::string& url : enclosures)
        items.push_back({url});
    server.Serve("/show.xml", MakeFeed("Show", items));
    server.Start();

    options = {.http = {.connectTimeoutSeconds = 1, .stallTimeoutSeconds = 1},
               .maxFeedBytes = 200000};
    Texts expected;
    std::vector<SubscriptionPtr> broken;
    for (const std::string& url : {server.Url("/cut.xml"), server.Url("/endless.xml"),
                                   deafUrl + "/feed.xml", server.Url("/short.xml"),
                                   server.Url("/nolocation.xml")}) {
        broken.push_back(AddPending(url, "Keep " + url));
        broken.back()->lastChecked = OleDateTime::FromFields({2001, 2, 3, 4, 5, 6});
        expected.push_back("Could not open " + url);
    }
    const SubscriptionPtr show = Add(server.Url("/show.xml"));
    expected.push_back("Could not open " + deafUrl + "/ep.mp3"); // cut bodies are not reported

    Check();
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
    // Of the cut ones, what arrived is kept to resume.
    EXPECT_EQ(Tree(base), (Texts{"Show", "Show/.huge.mp3.tessarine-part",
                                 "Show/.huge.mp3.tessarine-resume", "Show/.short.tessarine-part",
                                 "Show/.short.tessarine-resume", "Show/good", kSettingsFileName}));
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
        WithDiskFull(c.diskFull, [&] { Check(r); });
        EXPECT_EQ(struck.exchange(0), c.midCycle ? 1 : 0);
        EXPECT_EQ(view.Rows().back()[ColumnStatus], "Failed");
        EXPECT_EQ(view.Messages().back(), "Error creating file " + (base / "Show/ep.mp3").string());
        EXPECT_EQ(Tree(root.Path()), c.tree);
    }
}

// Each kind of special file in place of a file the cycle keeps: the archive
// in the podcast folder, the feed's cache entry, the record of the checks.
// Nothing waits on it (a hang would time the test out), nothing is read
// whole, nothing special is replaced or written through, and the episode is
// downloaded all the same. An archive that is no file of ours is reported;
// a cache entry or record that is a regular file (the sparse one) is ours
// and is replaced.
TEST_F(EngineTest, SpecialFilesWhereTheCycleKeepsItsOwnAreLeftAsTheyAre) {
    const std::string checks = (root.Path() / "cache/tessarine/checks").string();
    model.SetCheckHistoryDirectory(checks);
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/ep.mp3")}}));
    server.Serve("/ep.mp3", "episode");
    server.Start();
    const std::string url = server.Url("/f.xml");
    const fs::path outside = root.Path() / "outside";
    const std::map<std::string, fs::path> places = {
        {"archive", base / "Show" / kArchiveFileName},
        {"cache entry", FeedCache(*options.feedCacheDirectory).PathFor(url)},
        {"check record", CheckHistory::FileFor(checks, base.string())},
    };
    const SubscriptionPtr r = Add(url, "Show");
    for (const auto& [place, path] : places) {
        for (const SpecialFile kind : kSpecialFiles) {
            SCOPED_TRACE(place + ": " + NameOf(kind));
            engine.reset();
            for (const fs::path& folder : {base, root.Path() / "cache", cacheRoot.Path()}) {
                fs::remove_all(folder);
                fs::create_directories(folder);
            }
            for (const auto& [other, otherPath] : places)
                fs::create_directories(otherPath.parent_path());
            MakeSpecialFile(kind, path, outside);
            model.LoadSettings(); // the record is read
            const size_t messages = view.Messages().size();
            Check(r);
            model.SaveCheckHistory(); // as the worker does after each cycle

            EXPECT_EQ(ReadFile(base / "Show/ep.mp3"), "episode");
            const bool ours = kind == SpecialFile::Sparse && place != "archive";
            if (ours)
                EXPECT_LT(fs::file_size(path), 4096u);
            else
                EXPECT_TRUE(SpecialFileIntact(kind, path, outside));
            Texts expected;
            if (place == "archive")
                expected.push_back("The archive " + path.string() +
                                   " is a link, a folder, a special file or too large: it was "
                                   "left as it is and this check was not recorded in it.");
            const Texts all = view.Messages();
            EXPECT_EQ(Texts(all.begin() + static_cast<std::ptrdiff_t>(messages), all.end()),
                      expected);
        }
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

TEST_F(EngineTest, AnUnchangedFeedDoesExactlyWhatItsFullFetchWouldDo) {
    // A redirected feed with relative enclosures, on a server answering conditional requests.
    const std::string date = "Wed, 28 Jan 2009 13:24:41 GMT";
    std::vector<TestItem> items = {{"ep1.mp3", "One", "First"}, {"../ep2.mp3", "Two", "Second"}};
    server.ServeResource("/new/feed.xml", {.body = MakeFeed("Show", items),
                                           .etag = "\"f1\"",
                                           .lastModified = date,
                                           .contentType = "text/xml"});
    server.Server().Get("/old/feed.xml", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/new/feed.xml", 302);
    });
    server.Serve("/new/ep1.mp3", "episode one");
    server.Serve("/ep2.mp3", "episode two");
    server.Start();

    // Two libraries, with and without the cache, check twice, losing a file between.
    struct Library {
        explicit Library(fs::path folder) : base(std::move(folder)) {}
        fs::path base;
        SharedModel model;
        EventRecorder view;
        std::unique_ptr<UpdateEngine> engine;
        SubscriptionPtr record;
    };
    const auto run = [&](Library& library, std::optional<std::string> cacheDirectory) {
        fs::create_directory(library.base);
        library.model.SetBaseDirectory(library.base.string() + "/");
        EngineOptions own = options;
        own.feedCacheDirectory = std::move(cacheDirectory);
        library.engine = std::make_unique<UpdateEngine>(library.model, library.view, false, own);
        library.record = library.model.AddSubscription(server.Url("/old/feed.xml"), "");
        EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(*library.engine), 0);
        fs::remove(library.base / "Show/ep2.mp3");
        library.model.MarkPending(library.record);
        EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(*library.engine), 0);
    };
    Library cached{root.Path() / "cached"}, full{root.Path() / "full"};
    run(cached, options.feedCacheDirectory);
    EXPECT_EQ(server.LastRequestHeader("/new/feed.xml", "If-None-Match"), "\"f1\"");
    EXPECT_EQ(server.LastRequestHeader("/new/feed.xml", "If-Modified-Since"), date);
    EXPECT_FALSE(fs::is_empty(cacheRoot.Path()));
    run(full, "");
    EXPECT_EQ(server.LastRequestHeader("/new/feed.xml", "If-None-Match"), "");

    EXPECT_EQ(cached.record->status, NewItemsFound);
    EXPECT_EQ(cached.record->name, "Show");
    EXPECT_EQ(Tree(cached.base), Tree(full.base));
    for (const char* file : {"Show/feed.xml", "Show/ep1.mp3", "Show/ep2.mp3"})
        EXPECT_EQ(ReadFile(cached.base / file), ReadFile(full.base / file)) << file;
    EXPECT_EQ(ReadFile(cached.base / "Show/ep2.mp3"), "episode two"); // fetched again
    const std::regex date_("lastchecked=\"[^\"]*\"");
    const auto settings = [&](const Library& library) {
        return std::regex_replace(ReadFile(library.base / kSettingsFileName), date_, "");
    };
    EXPECT_EQ(settings(cached), settings(full));
    EXPECT_EQ(cached.view.Rows(), full.view.Rows());
    EXPECT_EQ(cached.view.Messages(), Texts{});

    // A cache entry that vanished, or was damaged, means a full request.
    for (const auto& entry : fs::directory_iterator(cacheRoot.Path()))
        WriteFile(entry.path(), "damaged");
    fs::remove(cached.base / "Show/ep1.mp3");
    cached.model.MarkPending(cached.record);
    EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(*cached.engine), 0);
    EXPECT_EQ(server.LastRequestHeader("/new/feed.xml", "If-None-Match"), "");
    EXPECT_EQ(ReadFile(cached.base / "Show/ep1.mp3"), "episode one");
    EXPECT_EQ(ReadFile(cached.base / "Show/feed.xml"), ReadFile(full.base / "Show/feed.xml"));
}

TEST_F(EngineTest, TheSameBytesWithoutValidatorsAreTheSameDocumentOnlyFromTheSamePlace) {
    // No validators; the same bytes move between folders, so the relative enclosure differs.
    const std::string feed = MakeFeed("Show", {{"ep.mp3", "One", "First"}});
    std::atomic<int> place{0};
    server.Server().Get("/feed.xml", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(place == 0 ? "/a/feed.xml" : "/b/feed.xml", 302);
    });
    server.ServeResource("/a/feed.xml", {.body = feed, .contentType = "text/xml"});
    server.ServeResource("/b/feed.xml", {.body = feed, .contentType = "text/xml"});
    for (const char* path : {"/a/ep.mp3", "/b/ep.mp3", "/b/ep2.mp3"})
        server.Serve(path, path);
    server.Start();
    const SubscriptionPtr record = Add(server.Url("/feed.xml"));
    // The URLs of the downloads a check queues, its episodes deleted first.
    const auto check = [&] {
        fs::remove(base / "Show/ep.mp3");
        long long rows = 0;
        while (model.DownloadAt(rows))
            ++rows;
        model.MarkPending(record);
        Check();
        Texts queued;
        for (; model.DownloadAt(rows); ++rows)
            queued.push_back(model.DownloadAt(rows)->url);
        return queued;
    };
    const auto entryFile = [&] {
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(cacheRoot.Path()))
            entries.push_back(entry.path());
        EXPECT_EQ(entries.size(), 1u);
        return entries.empty() ? fs::path() : entries[0];
    };
    const auto inode = [](const fs::path& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    };

    EXPECT_EQ(check(), Texts{server.Url("/a/ep.mp3")});
    const fs::path entry = entryFile();
    const auto written = inode(entry);
    // The same bytes from the same place: the entry is taken as it is.
    EXPECT_EQ(check(), Texts{server.Url("/a/ep.mp3")});
    EXPECT_EQ(inode(entry), written);
    // The same bytes from elsewhere are read again.
    place = 1;
    EXPECT_EQ(check(), Texts{server.Url("/b/ep.mp3")});
    EXPECT_NE(inode(entryFile()), written);
    // Other bytes from the same place are read again too.
    server.ServeResource("/b/feed.xml", {.body = MakeFeed("Show", {{"ep.mp3", "One", "First"},
                                                                   {"ep2.mp3", "Two", "Second"}}),
                                         .contentType = "text/xml"});
    EXPECT_EQ(check(), (Texts{server.Url("/b/ep.mp3"), server.Url("/b/ep2.mp3")}));
    EXPECT_EQ(ReadFile(base / "Show/ep2.mp3"), "/b/ep2.mp3");
    const std::string archive = ReadFile(base / "Show/feed.xml");
    for (const char* path : {"/a/ep.mp3", "/b/ep.mp3", "/b/ep2.mp3"})
        EXPECT_NE(archive.find(server.Url(path)), std::string::npos) << path;
    EXPECT_EQ(view.Messages(), Texts{});
}

TEST_F(EngineTest, AnArchiveChangedBetweenChecksGetsWhatItLacksAsAFreshEngineWould) {
    // An archive changed behind the engine's back ends as a fresh engine leaves it.
    server.ServeResource("/f.xml", {.body = MakeFeed("Show", {{server.Url("/ep1.mp3"), "One"},
                                                              {server.Url("/ep2.mp3"), "Two"}}),
                                    .etag = "\"f\"",
                                    .contentType = "text/xml"});
    server.Serve("/ep1.mp3", "one");
    server.Serve("/ep2.mp3", "two");
    server.Start();
    fs::create_directory(base / "Show"); // the archive's folder
    auto r = Add(server.Url("/f.xml"), "Show");
    Check(r);
    const fs::path archive = base / "Show" / kArchiveFileName;
    const std::string whole = ReadFile(archive);
    ASSERT_NE(whole.find("ep2.mp3"), std::string::npos);
    const auto check = [&](UpdateEngine& engine) {
        r->status = CheckPending;
        EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(engine), 0);
        return ReadFile(archive);
    };
    EXPECT_EQ(check(Engine()), whole);

    std::string renamed = whole; // the same size, another link
    renamed.replace(renamed.find("ep2.mp3"), 7, "ep3.mp3");
    const std::string head = whole.substr(0, whole.find("<item>"));
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"removed", [&] { fs::remove(archive); }},
        {"edited in place, same size", [&] { WriteFile(archive, renamed); }},
        {"replaced without items", [&] { WriteFile(archive, head + "</TessarineFeed>\n"); }},
        {"damaged", [&] { WriteFile(archive, "<TessarineFeed><item>"); }},
    };
    for (const auto& [what, change] : cases) {
        SCOPED_TRACE(what);
        WriteFile(archive, whole);
        change();
        UpdateEngine fresh(model, view, false, options);
        const std::string expected = check(fresh);
        // The engine leaves the whole archive as it is, then it changes.
        WriteFile(archive, whole);
        EXPECT_EQ(check(Engine()), whole);
        change();
        EXPECT_EQ(check(Engine()), expected);
        EXPECT_EQ(check(Engine()), expected); // and left as it is afterwards
    }
    EXPECT_EQ(view.Messages(), Texts{});
}

TEST_F(EngineTest, DownloadsCutByTheNetworkResumeFromTheirPartialFiles) {
    const auto bytes = [](size_t size, char seed) {
        std::string text(size, '\0');
        for (size_t i = 0; i < size; ++i)
            text[i] = static_cast<char>(seed + i * 7 % 251);
        return text;
    };
    const std::string one = bytes(300000, 1), two = bytes(300000, 2), three = bytes(300000, 3),
                      changed = bytes(250000, 4), slow = bytes(200000, 5);
    const std::string date = "Wed, 28 Jan 2009 13:24:41 GMT";
    using Resource = LoopbackServer::Resource;
    // Every first reply is cut off by the network, the slow one stalls.
    server.ServeResource("/honours.mp3",
                         Resource{.body = one, .etag = "\"1\"", .cutAfter = 100000});
    server.ServeResource(
        "/ignores.mp3",
        Resource{.body = two, .etag = "\"2\"", .ranges = false, .cutAfter = 100000});
    server.ServeResource("/changes.mp3",
                         Resource{.body = three, .etag = "\"3\"", .cutAfter = 100000});
    server.ServeResource("/slow.mp3", Resource{.body = slow,
                                               .lastModified = date,
                                               .trickleBytes = 20,
                                               .trickleEveryMs = 50});
    // Without validators a range is asked for alone; the reply must fit the recorded length.
    server.ServeResource("/plain.mp3", Resource{.body = one, .cutAfter = 100000});
    server.ServeResource("/relength.mp3", Resource{.body = two, .cutAfter = 100000});
    // A weak tag cannot guard a range: a date does, and without one nothing is resumed.
    server.ServeResource("/weak.mp3", Resource{.body = two, .etag = "W/\"w\"", .cutAfter = 100000});
    server.ServeResource("/dated.mp3", Resource{.body = three,
                                                .etag = "W/\"w\"",
                                                .lastModified = date,
                                                .cutAfter = 100000});
    server.ServeResource("/grown.mp3", Resource{.body = two, .etag = "\"g\"", .cutAfter = 100000});
    server.ServeResource("/shrunk.mp3", Resource{.body = one, .etag = "\"s\"", .cutAfter = 100000});
    // Ranges that carry more than they say, announced and not: with a tag and without.
    RawReplyServer raw;
    const std::string whole(1000, 'w');
    const auto reply = [](const std::string& head, const std::string& body) {
        return "HTTP/1.1 " + head + "\r\n\r\n" + body;
    };
    raw.Serve("/overlong.mp3", reply("200 OK\r\nETag: \"o\"\r\nContent-Length: 1000", whole.substr(0, 400)));
    raw.Serve("/unbounded.mp3", reply("200 OK\r\nContent-Length: 1000", whole.substr(0, 400)));
    const Texts paths = {"/honours.mp3", "/ignores.mp3", "/changes.mp3",  "/slow.mp3",
                         "/plain.mp3",   "/weak.mp3",    "/dated.mp3",    "/grown.mp3",
                         "/shrunk.mp3",  "/relength.mp3", "/overlong.mp3", "/unbounded.mp3"};
    std::vector<TestItem> items;
    for (const std::string& path : paths)
        items.push_back({path == "/overlong.mp3" || path == "/unbounded.mp3" ? raw.Url(path)
                                                                              : server.Url(path)});
    server.Serve("/f.xml", MakeFeed("Show", items));
    server.Start();
    options.http.stallTimeoutSeconds = 1; // 400 bytes a second is a stall
    auto r = Add(server.Url("/f.xml"));
    const fs::path folder = base / "Show";

    Check();
    ASSERT_EQ(view.Rows().size(), paths.size());
    for (const DownloadRow& row : view.Rows())
        EXPECT_EQ(row[ColumnStatus], "Failed") << row[ColumnFile];
    EXPECT_EQ(view.Messages(), Texts{});
    // Kept: what arrived of all but the one with only a weak tag.
    Texts kept;
    for (const std::string& path : paths)
        if (path != "/weak.mp3")
            for (const auto& file : {PartialFile::PathFor(folder.string() + path),
                                     PartialFile::ResumePathFor(folder.string() + path)})
                kept.push_back(fs::path(file).filename().string());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(PartialNames(folder), kept);
    EXPECT_EQ(ReadFile(PartialFile::PathFor((folder / "honours.mp3").string())),
              one.substr(0, 100000));

    // Meanwhile one changed, the slow one got fast, and an unlisted partial file lies around.
    server.ServeResource("/changes.mp3", Resource{.body = changed, .etag = "\"4\""});
    server.ServeResource("/slow.mp3",
                         Resource{.body = slow, .lastModified = date});
    // A server that sends a range whatever If-Range says, of a resource that grew.
    server.ServeResource("/grown.mp3",
                         Resource{.body = two + one, .etag = "\"g2\"", .ifRange = false});
    // The same version, now no longer than the partial file: 416.
    server.ServeResource("/shrunk.mp3", Resource{.body = one.substr(0, 50000), .etag = "\"s\""});
    server.ServeResource("/relength.mp3", Resource{.body = changed});
    const std::string rest = whole.substr(400) + "extra";
    raw.Serve("/overlong.mp3", reply("200 OK\r\nETag: \"o\"\r\nContent-Length: 1000", whole),
              reply("206 Partial Content\r\nETag: \"o\"\r\nContent-Range: bytes 400-999/1000\r\n"
                    "Content-Length: 605",
                    rest));
    raw.Serve("/unbounded.mp3", reply("200 OK\r\nContent-Length: 1000", whole),
              reply("206 Partial Content\r\nContent-Range: bytes 400-999/1000", rest));
    WriteFile(PartialFile::PathFor((folder / "gone.mp3").string()), "gone");
    WriteFile(PartialFile::ResumePathFor((folder / "gone.mp3").string()), "gone");
    Check(r);
    ASSERT_EQ(view.Rows().size(), 2 * paths.size());
    // The rows of the first check resumed, all but the over-long ranges; those
    // failed, dropping their partial files, and the rows queued now fetched them whole.
    for (size_t i = 0; i < view.Rows().size(); ++i)
        EXPECT_EQ(view.Rows()[i][ColumnStatus],
                  i == 10 || i == 11 ? "Failed" : "Completed") << i;
    // Each file byte for byte, whichever way it came; its hits and last request where given.
    const struct { const char* path; std::string bytes; int hits; const char *range, *ifRange; }
        files[] = {
        {"/honours.mp3", one, 0, "bytes=100000-", "\"1\""},
        {"/ignores.mp3", two, 0, nullptr, nullptr},
        {"/changes.mp3", changed, 0, nullptr, "\"3\""},
        {"/slow.mp3", slow, 0, nullptr, date.c_str()},
        {"/plain.mp3", one, 2, "bytes=100000-", ""},
        {"/weak.mp3", two, 0, "", nullptr},
        {"/dated.mp3", three, 0, nullptr, date.c_str()},
        // Cut, range refused, whole file.
        {"/grown.mp3", two + one, 3, "", nullptr},
        {"/shrunk.mp3", one.substr(0, 50000), 3, nullptr, nullptr},
        {"/relength.mp3", changed, 3, nullptr, nullptr},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.path);
        EXPECT_TRUE(ReadFile(folder.string() + f.path) == f.bytes);
        if (f.hits) {
            EXPECT_EQ(server.Hits(f.path), f.hits);
        }
        if (f.range) {
            EXPECT_EQ(server.LastRequestHeader(f.path, "Range"), f.range);
        }
        if (f.ifRange) {
            EXPECT_EQ(server.LastRequestHeader(f.path, "If-Range"), f.ifRange);
        }
    }
    for (const char* path : {"/overlong.mp3", "/unbounded.mp3"}) { // cut, too long, whole file
        EXPECT_EQ(ReadFile(folder.string() + path), whole);
        EXPECT_EQ(raw.Hits(path), 3) << path;
        EXPECT_EQ(raw.LastRequest(path).find("Range:"), std::string::npos) << path;
    }
    EXPECT_EQ(PartialNames(folder), Texts{}); // resumed, finished or removed
    EXPECT_EQ(view.Messages(), Texts{});
}

TEST_F(EngineTest, ACycleTellsEachFeedAndDownloadInOrder) {
    // A feed that is not there, and one whose first enclosure an earlier run
    // fetched in part before the network cut it off, and whose second fails.
    const std::string episode(300000, 'e');
    server.ServeResource("/ep.mp3", {.body = episode, .etag = "\"e\"", .cutAfter = 100000});
    server.Server().Get("/broken.mp3", [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content("broken", "text/plain");
    });
    const std::string missing = server.Url("/missing.xml"), feed = server.Url("/show.xml");
    const std::string ep = server.Url("/ep.mp3"), broken = server.Url("/broken.mp3");
    server.Serve("/show.xml", MakeFeed("Show", {{ep}, {broken}}));
    server.Start();
    {
        SharedModel earlier;
        earlier.SetBaseDirectory(base.string() + "/");
        earlier.AddSubscription(feed, "");
        EventRecorder ignored;
        UpdateEngine run(earlier, ignored, false, options);
        EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(run), 0);
    }
    ASSERT_TRUE(fs::exists(PartialFile::PathFor((base / "Show/ep.mp3").string())));

    const SubscriptionPtr gone = Add(missing);
    Add(feed);
    Check();
    const Failure notFound{FailureKind::HttpStatus, 404, "Not Found"};
    const std::vector<Event> expected = {
        FeedCheckBeganEvent{missing},
        FeedCheckEnd{missing, model.Values(gone).name, Error, notFound},
        Message{Message::Kind::Error, IDS_COULD_NOT_OPEN, {missing}, notFound},
        FeedCheckBeganEvent{feed},
        QueuedDownload{0, "Show", "ep.mp3", ep, 1},
        QueuedDownload{1, "Show", "broken.mp3", broken, 1},
        FeedCheckEnd{feed, "Show", NewItemsFound, {}},
        DownloadStateEvent{0, DownloadState::Downloading, {}},
        DownloadStateEvent{0, DownloadState::Done, {}},
        DownloadStateEvent{1, DownloadState::Downloading, {}},
        DownloadStateEvent{
            1, DownloadState::Failed, {FailureKind::HttpStatus, 500, "Internal Server Error"}},
    };
    // Progress only between the resumed download's start and its end: from
    // where the partial file ended, rising, told once more at the end.
    std::vector<Event> told;
    std::vector<DownloadProgressEvent> progress;
    for (const Event& event : view.Events()) {
        if (const auto* step = std::get_if<DownloadProgressEvent>(&event)) {
            EXPECT_EQ(told.size(), 8u) << "progress after event " << told.size();
            progress.push_back(*step);
        } else {
            told.push_back(event);
        }
    }
    ASSERT_EQ(told.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(SameEvent(told[i], expected[i])) << "event " << i;
    ASSERT_GE(progress.size(), 3u);
    EXPECT_TRUE(SameEvent(progress.front(), DownloadProgressEvent{0, 100000, 300000}));
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_TRUE(progress[i].index == 0 && progress[i].received >= progress[i - 1].received &&
                    progress[i].total == 300000)
            << i;
    EXPECT_TRUE(SameEvent(progress.back(), DownloadProgressEvent{0, 300000, 300000}));
    EXPECT_EQ(server.LastRequestHeader("/ep.mp3", "Range"), "bytes=100000-");
    EXPECT_EQ(ReadFile(base / "Show/ep.mp3"), episode);
    EXPECT_FALSE(fs::exists(base / "Show/broken.mp3"));
}

TEST_F(EngineTest, FeedsArriveInAnyOrderButEverythingHappensInListOrder) {
    // The first feeds answer last; every feed has an enclosure to queue.
    const int count = 6;
    for (int i = 0; i < count; ++i) {
        const std::string path = "/" + std::to_string(i);
        server.ServeResource(path + ".xml", {.body = MakeFeed("Show " + std::to_string(i),
                                                              {{server.Url(path + ".mp3")}}),
                                             .contentType = "text/xml",
                                             .delayMs = (count - i) * 60});
        server.Serve(path + ".mp3", "episode " + std::to_string(i));
    }
    server.Start();
    std::vector<SubscriptionPtr> records;
    for (int i = 0; i < count; ++i) {
        const std::string name = "Show " + std::to_string(i);
        fs::create_directory(base / name); // where the archive goes
        records.push_back(AddPending(server.Url("/" + std::to_string(i) + ".xml"), name));
    }

    // At every check's begin and end the finished records and written
    // archives are a prefix of the list.
    struct OrderView : EventRecorder {
        std::function<void()> check;
        void FeedCheckBegan(const std::string& url) override {
            EventRecorder::FeedCheckBegan(url);
            check();
        }
        void FeedCheckEnded(const FeedCheckEnd& end) override {
            EventRecorder::FeedCheckEnded(end);
            check();
        }
    } ordered;
    std::atomic<int> refreshes{0};
    ordered.check = [&] {
        ++refreshes;
        bool gap = false;
        for (int i = 0; i < count; ++i) {
            const bool done = model.Values(records[i]).status == NewItemsFound;
            const bool archived =
                fs::exists(base / ("Show " + std::to_string(i)) / kArchiveFileName);
            EXPECT_FALSE(gap && (done || archived)) << i;
            EXPECT_EQ(done, archived) << i;
            gap = gap || !done;
        }
    };
    UpdateEngine parallel(model, ordered, false, options);
    EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(parallel), 0);
    EXPECT_GT(server.MostAtOnce(), 1); // fetched side by side
    EXPECT_EQ(refreshes, 2 * count);
    ASSERT_EQ(ordered.Rows().size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(records[i]->status, NewItemsFound);
        EXPECT_EQ(ordered.Rows()[i][ColumnStatus], "Completed");
        EXPECT_EQ(ReadFile(base / ("Show " + std::to_string(i)) / (std::to_string(i) + ".mp3")),
                  "episode " + std::to_string(i));
    }
}

// On a clock that stands at its epoch (a machine booted a moment ago) and
// moves only when the test says so.
TEST_F(EngineTest, SettingsAreSavedAtABoundedRateAndWhileWaitingForTheNetwork) {
    const int count = 40;
    for (int i = 0; i < count; ++i)
        server.Serve("/" + std::to_string(i) + ".xml", MakeFeed("Show " + std::to_string(i), {}));
    std::vector<SubscriptionPtr> shows;
    for (int i = 0; i < count; ++i)
        shows.push_back(Add(server.Url("/" + std::to_string(i) + ".xml")));
    // The last feed keeps the walk waiting. Once the walk has checked every
    // other feed and waits, the save interval passes: the others are saved
    // while it still waits.
    std::atomic<bool> moveOn{true}, savedWhileWaiting{false};
    server.Server().Get("/slow.xml", [&](const httplib::Request&, httplib::Response& response) {
        if (moveOn) {
            const bool waiting = Await([&] {
                for (const SubscriptionPtr& show : shows)
                    if (model.Values(show).status != NoNewItems)
                        return false;
                return clock.Waiting() > 0;
            });
            EXPECT_TRUE(waiting);
            clock.Advance(options.saveInterval);
            savedWhileWaiting = waiting && Await([&] {
                return ReadFile(base / kSettingsFileName).find(">Show 39<") != std::string::npos;
            });
        }
        response.set_content(MakeFeed("Slow", {}), "text/xml");
    });
    server.Start();
    auto slow = Add(server.Url("/slow.xml"));

    options.clock = &clock;
    options.saveInterval = 100ms;
    SettingsWrites writes(base);
    Check();
    EXPECT_TRUE(savedWhileWaiting);
    EXPECT_EQ(slow->name, "Slow");
    EXPECT_NE(ReadFile(base / kSettingsFileName).find(">Slow<"), std::string::npos);
    // The first change at once, one during the wait, one at the end.
    const int during = writes.Count();
    EXPECT_EQ(during, 3);
    // The date checked is the clock's.
    EXPECT_EQ(slow->lastChecked, OleDateTime::FromTime(clock.CalendarNow()));

    // With a long interval: the first change at once, the rest at the end.
    engine.reset();
    moveOn = false;
    options.saveInterval = std::chrono::hours(1);
    model.MarkAllPending();
    Check();
    EXPECT_EQ(writes.Count() - during, 2);
}
