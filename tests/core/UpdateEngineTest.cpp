// The update engine against real HTTP on loopback and real files.
#include "core/update/UpdateEngine.h"

#include "core/feeds/EnclosureNames.h"
#include "core/feeds/FeedCache.h"
#include "core/files/BaseDirectory.h"
#include "core/model/CheckHistory.h"
#include "core/model/SettingsFile.h"
#include "core/update/PartialFile.h"
#include "core/util/Strings.h"
#include "display/DisplayText.h"
#include "support/EventRecorder.h"
#include "support/Feeds.h"
#include "support/LoopbackServer.h"
#include "support/RawReplyServer.h"
#include "support/TestClock.h"
#include "support/TestSupport.h"
#include "support/UpdateEngineTestAccess.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
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
#include <regex>
#include <tuple>
#include <variant>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {

// Everything below `folder`, relative to it and sorted.
Texts Tree(const fs::path& folder) {
    Texts names;
    for (auto& entry : fs::recursive_directory_iterator(folder))
        names.push_back(fs::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

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

// A folder that refuses new files, as long as it lives: read-only for a user,
// immutable for root (whom a read-only folder does not stop); `made` is
// false where neither can be had.
struct ReadOnlyFolder {
    explicit ReadOnlyFolder(fs::path where) : folder(std::move(where)) {
        made = ::geteuid() != 0 ? (fs::permissions(folder, fs::perms(0555)), true)
                                : SetImmutable(true);
    }
    ~ReadOnlyFolder() {
        if (::geteuid() != 0)
            fs::permissions(folder, fs::perms(0755));
        else if (made)
            SetImmutable(false);
    }
    bool SetImmutable(bool on) const {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        bool set = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        set = set && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0)
            ::close(fd);
        return set;
    }
    fs::path folder;
    bool made = false;
};

// Counts the replacements of the settings file in `folder` since construction
// (creations are watched too: they keep two replacements from merging into one event).
struct SettingsWrites {
    explicit SettingsWrites(const fs::path& folder) : fd(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        inotify_add_watch(fd, folder.c_str(), IN_MOVED_TO | IN_CREATE);
    }
    ~SettingsWrites() { ::close(fd); }
    int Count() {
        alignas(inotify_event) char buffer[65536];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                count += (event->mask & IN_MOVED_TO) && event->len > 0 &&
                         std::string(event->name) == kSettingsFileName;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        return count;
    }
    // Waits until `n` replacements have been counted; false after a minute.
    bool Await(int n) {
        for (pollfd wake{fd, POLLIN, 0}; Count() < n;)
            if (::poll(&wake, 1, 60000) <= 0)
                return false;
        return true;
    }
    const int fd;
    int count = 0;
};

// `size` bytes that are not all alike, differing by `seed`.
std::string Pattern(size_t size, char seed) {
    std::string text(size, '\0');
    for (size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>(seed + i * 7 % 251);
    return text;
}

// Partial files and resume information below `folder`.
Texts PartialNames(const fs::path& folder) {
    Texts names;
    for (const std::string& name : Tree(folder))
        if (EnclosureNames::IsPartialName(name))
            names.push_back(name);
    return names;
}

// What a recorded event says, field by field.
struct Fields {
    static auto Of(const SubscriptionsChangedEvent&) { return std::tuple<>(); }
    static auto Of(const FeedCheckBeganEvent& e) { return std::tie(e.url); }
    static auto Of(const FeedCheckEnd& e) { return std::tie(e.url, e.name, e.status, e.failure); }
    static auto Of(const QueuedDownload& e) {
        return std::tie(e.index, e.podcast, e.fileName, e.url, e.announcedSize);
    }
    static auto Of(const DownloadStateEvent& e) { return std::tie(e.index, e.state, e.reason); }
    static auto Of(const DownloadProgressEvent& e) {
        return std::tie(e.index, e.received, e.total);
    }
    static auto Of(const Message& e) { return std::tie(e.kind, e.id, e.args, e.reason); }
    static auto Of(const CycleEndedEvent& e) { return std::tie(e.quit); }
};
bool SameEvent(const Event& a, const Event& b) {
    return a.index() == b.index() && std::visit(
                                         [&b](const auto& x) {
                                             using T = std::decay_t<decltype(x)>;
                                             return Fields::Of(x) == Fields::Of(std::get<T>(b));
                                         },
                                         a);
}

} // namespace

TEST_F(EngineTest, WalkFetchesDueFeedsIntoFoldersNamedByTheirTitlesOrAddresses) {
    const auto untitled = [](const std::string& enclosure) {
        return "<rss><channel><title> </title><item><enclosure url=\"" + enclosure +
               "\"/></item></channel></rss>";
    };
    server.Serve("/a.xml", MakeFeed("Show A", {{server.Url("/ep.mp3")}}));
    server.Serve("/b.xml", MakeFeed("Show B", {}));
    server.Serve("/ep.mp3", "ep");
    server.Serve("/kept.xml", untitled("/kept.mp3"));
    server.Serve("/kept.mp3", "kept");
    for (const std::string folder : {"/x", "/y"}) {
        server.Serve(folder + "/notitle.xml", untitled("n.mp3")); // relative to each feed
        server.Serve(folder + "/n.mp3", folder);
    }
    server.Start();
    auto fresh = Add(server.Url("/a.xml"));             // newly added: due
    auto idle = Add(server.Url("/b.xml"), "Untouched"); // idle: passed over
    auto kept = AddPending(server.Url("/kept.xml"), "Keep kept");
    auto x = Add(server.Url("/x/notitle.xml"));
    auto y = Add(server.Url("/y/notitle.xml"));

    Check();
    EXPECT_EQ(fresh->name, "Show A");
    EXPECT_EQ(idle->status, Idle);
    EXPECT_EQ(server.Hits("/b.xml"), 0);
    EXPECT_EQ(ReadFile(base / "Show A/ep.mp3"), "ep");
    // Without a title the name stays, or is made from the URL, one per feed.
    const std::string host = server.Url("").substr(7);
    EXPECT_EQ(kept->name, "Keep kept");
    EXPECT_EQ(x->name, host + " - notitle.xml");
    EXPECT_EQ(y->name, host + " - notitle.xml " + EnclosureNames::Tag(y->url, 8));
    for (const SubscriptionPtr& r : {fresh, kept, x, y})
        EXPECT_EQ(r->status, NewItemsFound) << r->url;
    EXPECT_EQ(ReadFile(base / "Keep kept/kept.mp3"), "kept");
    EXPECT_EQ(ReadFile(base / FeedFolderName(x->name) / "n.mp3"), "/x");
    EXPECT_EQ(ReadFile(base / FeedFolderName(y->name) / "n.mp3"), "/y");
    for (const auto& entry : fs::directory_iterator(base)) // nothing in the base itself
        EXPECT_TRUE(entry.is_directory() || entry.path().filename() == kSettingsFileName)
            << entry.path();
    EXPECT_EQ(view.Rows().size(), 4u);
}

TEST_F(EngineTest, EveryEnclosureGetsAFileOfItsOwnOnceAndNeverTakesAnotherFilesPlace) {
    // The naming tables show shared and long names; here the names that meet
    // the folder's own files, one of 255 bytes (its partial file's name is
    // shortened), and one that, shortened and tagged, still begins as the
    // archive's temporary files do: it takes a "_" in front.
    const std::string n255 = std::string(251, 'n') + ".mp3";
    const Texts paths = {"/feed.xml", "/ep.mp3", "/ep.mp3.part", "/m/" + n255,
                         "/m/feed.xml.tmp" + std::string(250, 'a') + ".mp3"};
    std::vector<TestItem> items;
    for (const std::string& path : paths)
        items.push_back({server.Url(path)});
    const std::string title = "../../escape\\ed\x01"; // the folder stays inside the base
    server.Serve("/f.xml", MakeFeed(title, items));
    std::atomic<int> fetched{0};
    server.Server().Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        ++fetched;
        response.set_content("bytes of " + request.target, "audio/mpeg");
    });
    server.Start();
    auto r = Add(server.Url("/f.xml"), title); // its folder made below holds the archive
    const std::string reserved =
        EnclosureNames({items[4].enclosureUrl}).NameOf(items[4].enclosureUrl);
    EXPECT_TRUE(reserved.starts_with("_feed.xml.tmpaaa") && reserved.size() == 255) << reserved;
    const Texts names = {
        EnclosureNames::Tagged("feed.xml", EnclosureNames::Tag(items[0].enclosureUrl, 8)), "ep.mp3",
        "ep.mp3.part", n255, reserved};

    // A partial file linking elsewhere keeps its target; a killed run's leftover goes.
    const fs::path folder = base / FeedFolderName(title);
    fs::create_directory(folder);
    WriteFile(root.Path() / "victim", "victim");
    fs::create_symlink(root.Path() / "victim", PartialFile::PathFor((folder / n255).string()));
    WriteFile(PartialFile::PathFor((folder / "ep.mp3").string()), "stale");
    const auto check = [&](int32_t status) {
        Check(r);
        EXPECT_EQ(r->status, status);
        Texts expected = {"feed.xml"};
        for (size_t i = 0; i < paths.size(); ++i) {
            EXPECT_EQ(ReadFile(folder / names[i]), "bytes of " + paths[i]) << names[i];
            expected.push_back(names[i]);
        }
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Tree(folder), expected);                        // no partial files
        EXPECT_EQ(Tree(root.Path()).size(), expected.size() + 4); // base, settings, folder, victim
        EXPECT_TRUE(ReadFile(folder / "feed.xml").starts_with("<?xml")); // the archive stays one
        EXPECT_EQ(ReadFile(root.Path() / "victim"), "victim");
    };
    check(NewItemsFound);
    const std::string archive = ReadFile(folder / "feed.xml");
    // A second check fetches nothing again; a deleted episode comes back under its name, alone.
    check(NoNewItems);
    EXPECT_EQ(fetched, static_cast<int>(paths.size()));
    EXPECT_EQ(ReadFile(folder / "feed.xml"), archive);
    fs::remove(folder / "ep.mp3.part");
    check(NewItemsFound);
    EXPECT_EQ(fetched, static_cast<int>(paths.size()) + 1);
    EXPECT_EQ(view.Rows().size(), paths.size() + 1);
    EXPECT_EQ(view.Rows().back()[ColumnFile], "ep.mp3.part");
    EXPECT_EQ(view.Messages(), Texts{});
}

// One case per outcome: the HTTP client's test shows every reply that cannot
// complete, and that a feed's ends as one request's would.
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
    const std::string unanswered =
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ep.mp3";

    // Feeds: one cut off after its channel and item, one past the limit.
    const std::string feed = MakeFeed("Fine", {{server.Url("/ep.mp3")}});
    server.ServeResource("/cut.xml", {.body = feed, .cutAfter = feed.find("</channel>")});
    server.ServePartial("/endless.xml", size_t{64} << 20, 1 << 20, false);
    // A good feed's enclosures: cut, unanswered, whole after a redirect, empty.
    server.ServePartial("/huge.mp3", size_t{11} << 29, 2 << 20, false); // 5.5 GiB: past 32 bits
    server.Server().Get("/good", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/files/good.mp3", 302);
    });
    server.Server().Get("/files/good.mp3", [](const httplib::Request& request, auto& response) {
        response.set_content("good " + request.get_header_value("User-Agent"), "audio/mpeg");
    });
    RawReplyServer raw;
    raw.Serve("/zero.mp3", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    raw.Serve("/none.mp3", "HTTP/1.1 200 OK\r\n\r\n"); // no length, and then nothing
    server.Serve("/show.xml", MakeFeed("Show", {{server.Url("/huge.mp3")},
                                                {unanswered},
                                                {server.Url("/good")},
                                                {raw.Url("/zero.mp3")},
                                                {raw.Url("/none.mp3")}}));
    server.Start();

    options = {.http = {.connectTimeoutSeconds = 1, .stallTimeoutSeconds = 1},
               .maxFeedBytes = 200000};
    Texts expected;
    std::vector<SubscriptionPtr> broken;
    for (const std::string& url : {server.Url("/cut.xml"), server.Url("/endless.xml")}) {
        broken.push_back(AddPending(url, "Keep " + url));
        broken.back()->lastChecked = OleDateTime::FromFields({2001, 2, 3, 4, 5, 6});
        expected.push_back("Could not open " + url);
    }
    // An enclosure's failure is said when no reply came; cut and empty ones are not.
    expected.push_back("Could not open " + unanswered);
    const SubscriptionPtr show = Add(server.Url("/show.xml"));

    Check();
    for (const SubscriptionPtr& r : broken)
        EXPECT_EQ(std::tuple(r->status, r->name, r->lastChecked.FormatStored()),
                  std::tuple(Error, "Keep " + r->url, "03.02.2001 04:05:06"));
    EXPECT_EQ(show->status, NewItemsFound);
    EXPECT_EQ(view.Messages(), expected);
    const auto rows = view.Rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0][ColumnSize], "5632.0MB");
    EXPECT_EQ(view.EventsOf<DownloadStateEvent>().back().reason.kind, FailureKind::EmptyReply);
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i][ColumnStatus], i == 2 ? "Completed" : "Failed") << i;
    // Of the cut one, what arrived is kept to resume; nothing else but the whole reply.
    EXPECT_EQ(Tree(base),
              (Texts{"Show", "Show/.huge.mp3.tessarine-part", "Show/.huge.mp3.tessarine-resume",
                     "Show/good", kSettingsFileName}));
    EXPECT_EQ(ReadFile(base / "Show/good"), "good Tessarine/1.0"); // only the final response
    for (int fd : deaf)
        ::close(fd);
}

TEST_F(EngineTest, AWebPageGivesItsFeedAndEveryUrlIsAskedForAsABrowserAsks) {
    const std::string name = "my \xC3\xA9pisode.mp3"; // a blank and a letter beyond ASCII
    server.Serve("/show/",
                 "<!DOCTYPE html>\n<html><head><title>Show</title><link rel=\"alternate\" "
                 "type=\"application/rss+xml\" title=\"Show\" href=\"feed.xml\"></head></html>",
                 "text/html");
    server.Serve("/show/feed.xml", MakeFeed("Paged", {{"media/" + name}}), "application/rss+xml");
    // Served only when asked for encoded, as the server decodes the path it matches.
    server.Serve("/show/media/" + name, "audio of " + name);
    server.Serve("/about.html", "<html><head><title>About</title></head></html>", "text/html");
    server.Start();
    const SubscriptionPtr paged = Add(server.Url("/show/"));
    const SubscriptionPtr about = Add(server.Url("/about.html"));
    Check();
    // The page's record took the feed and was read from it at once.
    EXPECT_EQ(std::tuple(paged->url, paged->name, paged->status, about->url, about->status),
              std::tuple(server.Url("/show/feed.xml"), "Paged", NewItemsFound,
                         server.Url("/about.html"), Error));
    EXPECT_EQ(view.Messages(),
              (Texts{"The web page " + server.Url("/show/") + " names the feed " +
                         server.Url("/show/feed.xml") + ". Subscribed to that feed.",
                     "Error!\n\nThe web page " + server.Url("/about.html") +
                         " names no feed. Please give the address of the podcast's feed itself."}));
    // The file and the archive keep the name as written.
    EXPECT_EQ(ReadFile(base / "Paged" / name), "audio of " + name);

    // From now on the feed is fetched, never the page; a page that names no
    // feed says so at every check until its address gives a feed.
    Check(paged);
    Check(about);
    const std::string archive = ReadFile(base / "Paged" / kArchiveFileName);
    EXPECT_NE(archive.find("<link>" + server.Url("/show/media/" + name) + "</link>"),
              std::string::npos)
        << archive;
    EXPECT_EQ(server.Hits("/show/"), 1);
    EXPECT_EQ(server.Hits("/show/feed.xml"), 2);
    EXPECT_EQ(view.Messages().size(), 3u);
    EXPECT_EQ(view.Messages().back(), view.Messages()[1]);
}

TEST_F(EngineTest, CyclesNeverOverlapAndARequestDuringACycleRunsAfterIt) {
    Signal asked, release;
    std::atomic<bool> bDuringA{false};
    std::atomic<int> bAsked{0};
    server.Server().Get("/a.xml", [&](const httplib::Request&, httplib::Response& res) {
        asked.Set();
        release.Wait(); // held until the test lets go
        res.set_content(MakeFeed("A", {}), "text/xml");
    });
    server.Server().Get("/b.xml", [&](const httplib::Request&, httplib::Response& res) {
        ++bAsked;
        bDuringA = bDuringA || !release.IsSet(); // asked for while the first cycle holds A
        res.set_content(MakeFeed("B", {}), "text/xml");
    });
    server.Start();
    auto b = Add(server.Url("/b.xml"), "B"); // idle: the first cycle passes it over
    auto a = Add(server.Url("/a.xml"));      // newly added: due
    Engine().RequestCycle();
    ASSERT_TRUE(asked.Wait());
    // Marking a passed record asks for one more cycle, not one beside this.
    Engine().OnUpdateThisPodcast(b);
    release.Set();
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(bAsked, 1);
    EXPECT_FALSE(bDuringA);
    EXPECT_EQ(a->name, "A");
    EXPECT_EQ(b->status, NoNewItems);
}

TEST_F(EngineTest, QuitRule) {
    server.Serve("/f.xml", MakeFeed("Show", {}));
    server.Serve("/g.xml", MakeFeed("New", {}));
    server.Start();
    const auto posts = [&](auto command) {
        command();
        EXPECT_TRUE(Engine().WaitForIdle(30s));
        return view.Quits();
    };
    // With /checkandquit only "Check for new items" quits, even with nothing
    // queued and only a new record due; on an empty list it starts no cycle.
    EXPECT_FALSE(Engine(true).OnCheckForNewItems());
    EXPECT_FALSE(model.QuitWanted(true));
    auto r = Add(server.Url("/f.xml"), "Show");
    EXPECT_EQ(posts([&] { Engine().OnUpdateThisPodcast(r); }), 0u);
    auto fresh = Add(server.Url("/g.xml"));
    EXPECT_EQ(posts([&] { EXPECT_TRUE(Engine().OnCheckForNewItems()); }), 1u);
    EXPECT_EQ(fresh->name, "New");
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

TEST_F(EngineTest, HowTheLastChecksEndedIsKeptPerBaseDirectoryBesideTheCache) {
    const std::string folder = (root.Path() / "cache/tessarine/checks").string();
    const std::string never = "http://127.0.0.1:9/never.xml";
    model.SetCheckHistoryDirectory(folder);
    server.Serve("/good.xml", MakeFeed("Good", {}));
    server.Serve("/bad.xml", "gone", "text/plain", 404);
    server.Start();
    model.LoadSettings(); // no settings file: an empty list and no record yet
    const SubscriptionPtr good = Add(server.Url("/good.xml"));
    Add(server.Url("/bad.xml"));
    Add(never, "Never"); // idle: not checked
    Engine().RequestCycle();
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    const std::string file = CheckHistory::FileFor(folder, base.string());
    // The next run on the same base directory, however it is spelled, knows:
    // its records as loaded (the engine saved the settings), else new ones.
    const auto statuses = [&](const std::string& spelling) {
        SharedModel next;
        next.SetBaseDirectory(spelling);
        next.SetCheckHistoryDirectory(folder);
        next.LoadSettings();
        std::vector<int32_t> found;
        for (const std::string& url : {server.Url("/good.xml"), server.Url("/bad.xml"), never}) {
            SubscriptionPtr record;
            for (const SubscriptionSnapshot& s : next.SnapshotSubscriptions())
                record = s.values.url == url ? s.record : record;
            found.push_back(next.LastCheckStatus(record ? record : next.AddSubscription(url, "")));
        }
        return found;
    };
    EXPECT_EQ(statuses(base.string() + "/./"), (std::vector<int32_t>{NoNewItems, Error, Idle}));

    // An unchanged outcome leaves the file alone; a file cut short, or one
    // written for another base directory, counts for nothing.
    const std::string bytes = ReadFile(file);
    WriteFile(file, bytes + "4\t" + never);
    EXPECT_EQ(statuses(base.string()), (std::vector<int32_t>{NoNewItems, Error, Idle}));
    Engine().OnUpdateThisPodcast(good);
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_EQ(server.Hits("/good.xml"), 2);
    EXPECT_EQ(ReadFile(file), bytes + "4\t" + never);
    std::string foreign = bytes;
    foreign.replace(foreign.find(base.string()), base.string().size(), "/elsewhere");
    WriteFile(file, foreign);
    EXPECT_EQ(statuses(base.string()), (std::vector<int32_t>{Idle, Idle, Idle}));
}

TEST_F(EngineTest, UnwritableTargetFailsWithItsPathAndLeavesNothing) {
    const auto replaceByFile = [](fs::path path) {
        return [path] {
            fs::remove_all(path);
            WriteFile(path, "a file");
        };
    };
    const std::string settings = std::string("base/") + kSettingsFileName;
    const struct {
        const char* what;
        std::function<void()> midCycle; // strikes when the feed is asked for
        rlim_t diskFull;                // file size limit during the cycle, or 0
        Texts tree;                     // under the root after the cycle
    } cases[] = {
        {"feed folder is a file", replaceByFile(base / "Show"), 0, {"base", "base/Show", settings}},
        {"base directory removed", [this] { fs::remove_all(base); }, 0, {}},
        {"base directory is a file", replaceByFile(base), 0, {"base"}},
        {"disk full", nullptr, 256 * 1024, {"base", "base/Show", settings}},
    };
    std::atomic<const std::function<void()>*> armed{nullptr};
    std::atomic<int> struck{0}; // read below, it also orders the fault before the checks
    server.Server().Get("/f.xml", [&](const httplib::Request&, httplib::Response& res) {
        if (const auto* strike = armed.exchange(nullptr); strike && *strike) {
            (*strike)();
            ++struck;
        }
        res.set_content(MakeFeed("Show", {{server.Url("/ep.mp3")}}), "text/xml");
    });
    server.Serve("/ep.mp3", std::string(1 << 20, 'e'));
    server.Start();
    auto r = Add(server.Url("/f.xml"), "Show");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(base);
        fs::create_directory(base);
        armed = &c.midCycle;
        WithDiskFull(c.diskFull, [&] { Check(r); });
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

// A FIFO (a read would wait on it) or a link leading outside in place of each
// file the cycle keeps (the archive, the feed's cache entry, the record of the
// checks): none is read, replaced or written through, and the episode comes all
// the same; the file store's own test shows every kind. An archive that is no
// file of ours is reported.
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
        for (const SpecialFile kind : {SpecialFile::Fifo, SpecialFile::LinkOutside}) {
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
            EXPECT_TRUE(SpecialFileIntact(kind, path, outside));
            EXPECT_EQ(view.Messages().size(), messages + (place == "archive" ? 1 : 0));
        }
    }
    EXPECT_EQ(view.Messages().front(), "The archive " + places.at("archive").string() +
                                           " is a link, a folder, a special file or too large: "
                                           "it was left as it is and this check was not "
                                           "recorded in it.");
}

// A feed that moves by redirects, its first enclosure relative: with the cache
// (a 304, or the same bytes without validators) every check ends as it does
// without, ep1.mp3 lost before each.
TEST_F(EngineTest, AnUnchangedFeedDoesExactlyWhatItsFullFetchWouldDo) {
    const std::string date = "Wed, 28 Jan 2009 13:24:41 GMT";
    const std::string feed =
        MakeFeed("Show", {{"ep1.mp3", "One", "First"}, {"../ep2.mp3", "Two", "Second"}});
    std::atomic<char> place{'a'};
    server.Server().Get("/feed.xml", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(std::string("/") + place.load() + "/feed.xml", 302);
    });
    // At a, a server answering conditional requests; at b, the same bytes without validators.
    server.ServeResource(
        "/a/feed.xml",
        {.body = feed, .etag = "\"f1\"", .lastModified = date, .contentType = "text/xml"});
    server.ServeResource("/b/feed.xml", {.body = feed, .contentType = "text/xml"});
    for (const char* path : {"/a/ep1.mp3", "/b/ep1.mp3", "/ep2.mp3", "/b/ep3.mp3"})
        server.Serve(path, path);
    server.Start();

    struct Library {
        Library(const fs::path& folder, const std::string& url, const EngineOptions& options)
            : base(folder) {
            fs::create_directory(base);
            model.SetBaseDirectory(base.string() + "/");
            engine = std::make_unique<UpdateEngine>(model, view, false, options);
            record = model.AddSubscription(url, "");
        }
        Texts Check() { // the URLs of the downloads it queues
            fs::remove(base / "Show/ep1.mp3");
            long long rows = 0;
            while (model.DownloadAt(rows))
                ++rows;
            model.MarkPending(record);
            EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(*engine), 0);
            Texts queued;
            for (; model.DownloadAt(rows); ++rows)
                queued.push_back(model.DownloadAt(rows)->url);
            return queued;
        }
        fs::path base;
        SharedModel model;
        EventRecorder view;
        std::unique_ptr<UpdateEngine> engine;
        SubscriptionPtr record;
    };
    EngineOptions uncached = options;
    uncached.feedCacheDirectory = "";
    Library full(root.Path() / "full", server.Url("/feed.xml"), uncached);
    Library cached(root.Path() / "cached", server.Url("/feed.xml"), options);
    const auto check = [&](const Texts& queued) {
        EXPECT_EQ(full.Check(), queued);
        EXPECT_EQ(cached.Check(), queued);
    };
    const auto entryInode = [&] { // of the one cache entry
        struct stat info {};
        for (const auto& entry : fs::directory_iterator(cacheRoot.Path()))
            ::stat(entry.path().c_str(), &info);
        return info.st_ino;
    };
    const std::string a1 = server.Url("/a/ep1.mp3"), b1 = server.Url("/b/ep1.mp3");
    check({a1, server.Url("/ep2.mp3")});
    check({a1});
    EXPECT_EQ(server.LastRequestHeader("/a/feed.xml", "If-None-Match"), "\"f1\"");
    EXPECT_EQ(server.LastRequestHeader("/a/feed.xml", "If-Modified-Since"), date);
    // The same bytes from elsewhere are read again; from the same place the entry is
    // taken as it is; other bytes from the same place are read again.
    place = 'b';
    check({b1});
    const auto written = entryInode();
    check({b1});
    EXPECT_EQ(entryInode(), written);
    server.ServeResource("/b/feed.xml", {.body = MakeFeed("Show", {{"ep1.mp3", "One", "First"},
                                                                   {"../ep2.mp3", "Two", "Second"},
                                                                   {"ep3.mp3", "Three", "Third"}}),
                                         .contentType = "text/xml"});
    check({b1, server.Url("/b/ep3.mp3")});

    EXPECT_EQ(cached.record->status, NewItemsFound);
    EXPECT_EQ(Tree(cached.base), Tree(full.base));
    for (const char* file : {"Show/feed.xml", "Show/ep1.mp3", "Show/ep2.mp3", "Show/ep3.mp3"})
        EXPECT_EQ(ReadFile(cached.base / file), ReadFile(full.base / file)) << file;
    const std::string archive = ReadFile(cached.base / "Show/feed.xml");
    for (const std::string& url : {a1, b1})
        EXPECT_NE(archive.find(url), std::string::npos) << url;
    const auto settings = [&](const Library& library) {
        return std::regex_replace(ReadFile(library.base / kSettingsFileName),
                                  std::regex("lastchecked=\"[^\"]*\""), "");
    };
    EXPECT_EQ(settings(cached), settings(full));
    EXPECT_EQ(cached.view.Rows(), full.view.Rows());
    EXPECT_EQ(cached.view.Messages(), Texts{});
}

TEST_F(EngineTest, AnArchiveChangedBetweenChecksGetsWhatItLacksAsAFreshEngineWould) {
    server.ServeResource("/f.xml", {.body = MakeFeed("Show", {{server.Url("/ep1.mp3"), "One"},
                                                              {server.Url("/ep2.mp3"), "Two"}}),
                                    .etag = "\"f\"",
                                    .contentType = "text/xml"});
    server.Serve("/ep1.mp3", "one");
    server.Serve("/ep2.mp3", "two");
    server.Start();
    fs::create_directory(base / "Show"); // the archive's folder
    auto r = Add(server.Url("/f.xml"), "Show");
    const fs::path archive = base / "Show" / kArchiveFileName;
    const auto check = [&](UpdateEngine& engine) {
        r->status = CheckPending;
        EXPECT_EQ(UpdateEngineTestAccess::CheckCycle(engine), 0);
        return ReadFile(archive);
    };
    const std::string whole = check(Engine());
    ASSERT_NE(whole.find("ep2.mp3"), std::string::npos);
    EXPECT_EQ(check(Engine()), whole);

    std::string renamed = whole; // the same size, another link
    renamed.replace(renamed.find("ep2.mp3"), 7, "ep3.mp3");
    const std::string head = whole.substr(0, whole.find("<item>"));
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"removed", [&] { fs::remove(archive); }},
        {"edited in place, same size", [&] { WriteFile(archive, renamed); }},
        {"replaced without items", [&] { WriteFile(archive, head + "</TessarineFeed>\n"); }},
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
    const std::string one = Pattern(300000, 1), two = Pattern(300000, 2),
                      three = Pattern(300000, 3), changed = Pattern(250000, 4);
    const std::string date = "Wed, 28 Jan 2009 13:24:41 GMT";
    const size_t cut = 100000;
    using Resource = LoopbackServer::Resource;
    const auto serve = [](const std::string& body, const std::string& etag = "",
                          const std::string& date = "", size_t cutAfter = SIZE_MAX) {
        return Resource{.body = body, .etag = etag, .lastModified = date, .cutAfter = cutAfter};
    };
    // Every first reply is cut off by the network (a stall ends alike; a server
    // ignoring the range sends a whole 200 as for a changed one); the second
    // check's server (when given) serves `then`. Each file ends byte for byte as
    // `bytes`, with these hits (0: any) and last Range and If-Range (null: any).
    const struct {
        const char* path;
        Resource first, then;
        std::string bytes;
        int hits;
        const char *range, *ifRange;
    } cases[] = {
        {"/honours.mp3", serve(one, "\"1\"", "", cut), {}, one, 0, "bytes=100000-", "\"1\""},
        {"/changes.mp3", serve(three, "\"3\"", "", cut), serve(changed, "\"4\""), changed, 0,
         nullptr, "\"3\""},
        // Without validators a range is asked for alone; the reply must fit the recorded length.
        {"/plain.mp3", serve(one, "", "", cut), {}, one, 2, "bytes=100000-", ""},
        {"/relength.mp3", serve(two, "", "", cut), serve(changed), changed, 3, nullptr, nullptr},
        // A weak tag cannot guard a range: a date does, and without one nothing is resumed.
        {"/weak.mp3", serve(two, "W/\"w\"", "", cut), {}, two, 0, "", nullptr},
        {"/dated.mp3", serve(three, "W/\"w\"", date, cut), {}, three, 0, nullptr, date.c_str()},
        // The same version, now no longer than the partial file: 416.
        {"/shrunk.mp3", serve(one, "\"s\"", "", cut), serve(one.substr(0, 50000), "\"s\""),
         one.substr(0, 50000), 3, nullptr, nullptr},
    };
    // Ranges that carry more than they say, announced and not: with a tag and without.
    RawReplyServer raw;
    const std::string whole(1000, 'w'), ok = "HTTP/1.1 200 OK\r\n";
    const struct {
        const char* path;
        std::string head, ranged;
    } raws[] = {{"/overlong.mp3", "ETag: \"o\"\r\nContent-Length: 1000\r\n\r\n",
                 "ETag: \"o\"\r\nContent-Range: bytes 400-999/1000\r\nContent-Length: 605\r\n\r\n"},
                {"/unbounded.mp3", "Content-Length: 1000\r\n\r\n",
                 "Content-Range: bytes 400-999/1000\r\n\r\n"}};
    std::vector<TestItem> items;
    for (const auto& c : cases) {
        server.ServeResource(c.path, c.first);
        items.push_back({server.Url(c.path)});
    }
    for (const auto& c : raws) {
        raw.Serve(c.path, ok + c.head + whole.substr(0, 400));
        items.push_back({raw.Url(c.path)});
    }
    server.Serve("/f.xml", MakeFeed("Show", items));
    server.Start();
    auto r = Add(server.Url("/f.xml"));
    const fs::path folder = base / "Show";

    Check();
    // Kept: what arrived of all but the one with only a weak tag.
    Texts kept;
    for (const TestItem& item : items) {
        const std::string file = (folder / FileNameFromUrl(item.enclosureUrl)).string();
        if (!file.ends_with("/weak.mp3"))
            for (const std::string& part :
                 {PartialFile::PathFor(file), PartialFile::ResumePathFor(file)})
                kept.push_back(fs::path(part).filename().string());
    }
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(PartialNames(folder), kept);

    // Meanwhile some changed, and an unlisted partial file lies around.
    for (const auto& c : cases)
        if (!c.then.body.empty())
            server.ServeResource(c.path, c.then);
    for (const auto& c : raws)
        raw.Serve(c.path, ok + c.head + whole,
                  "HTTP/1.1 206 Partial Content\r\n" + c.ranged + whole.substr(400) + "extra");
    WriteFile(PartialFile::PathFor((folder / "gone.mp3").string()), "gone");
    WriteFile(PartialFile::ResumePathFor((folder / "gone.mp3").string()), "gone");
    Check(r);
    // The rows of the first check resumed in their places, all but the
    // over-long ranges; those failed, dropping their partial files, and the
    // next check fetches them whole, again in their rows.
    ASSERT_EQ(view.Rows().size(), items.size());
    for (size_t i = 0; i < view.Rows().size(); ++i)
        EXPECT_EQ(view.Rows()[i][ColumnStatus], i < std::size(cases) ? "Completed" : "Failed") << i;
    Check(r);
    ASSERT_EQ(view.Rows().size(), items.size()); // the files below are whole
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_TRUE(ReadFile(folder.string() + c.path) == c.bytes);
        EXPECT_TRUE(!c.hits || server.Hits(c.path) == c.hits);
        EXPECT_TRUE(!c.range || server.LastRequestHeader(c.path, "Range") == c.range);
        EXPECT_TRUE(!c.ifRange || server.LastRequestHeader(c.path, "If-Range") == c.ifRange);
    }
    for (const auto& c : raws) { // cut, too long, whole file
        EXPECT_EQ(ReadFile(folder.string() + c.path), whole);
        EXPECT_EQ(raw.Hits(c.path), 3) << c.path;
        EXPECT_EQ(raw.LastRequest(c.path).find("Range:"), std::string::npos) << c.path;
    }
    EXPECT_EQ(PartialNames(folder), Texts{}); // resumed, finished or removed
    EXPECT_EQ(view.Messages(), Texts{});
}

TEST_F(EngineTest, ACycleTellsEachFeedAndDownloadInOrder) {
    // A feed that is not there, and one whose first enclosure an earlier run
    // fetched in part before the network cut it off, and whose second fails.
    const std::string episode(300000, 'e');
    server.ServeResource("/ep.mp3", {.body = episode, .etag = "\"e\"", .cutAfter = 100000});
    server.Serve("/broken.mp3", "broken", "text/plain", 500);
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
}

// Every failure of a check says why, as data and in the message's words: an
// error status, a web page or document that is no feed, a name that does not
// resolve, a refused connection, a reply that stalls, a folder that refuses
// the file. (No TLS server here: the certificate's case is the transfer's.)
TEST_F(EngineTest, EveryFailureSaysWhy) {
    const std::string page = "<html><head><title>Welcome</title></head><body>Hi</body></html>";
    server.Serve("/gone.xml", "<html><body>Not here</body></html>", "text/html", 404);
    server.Serve("/page.html", page, "text/html");
    server.Serve("/was-a-feed.html", page, "text/html");
    server.Serve("/list.opml", "<opml version='2.0'><body/></opml>", "text/xml");
    server.ServePartial("/stalls.xml", 100000, 1000, true);
    server.Serve("/show.xml",
                 MakeFeed("Show", {{"http://127.0.0.1:1/refused.mp3"}, {server.Url("/ep.mp3")}}));
    server.Serve("/ep.mp3", "episode");
    server.Start();
    options.http.stallTimeoutSeconds = 1;
    const std::string target = (base / "Show/ep.mp3").string();
    fs::create_directories(base / "Show");
    const ReadOnlyFolder readOnly(base / "Show");

    const Failure notFound{FailureKind::HttpStatus, 404, "Not Found"};
    const struct {
        std::string url; // a feed, or an enclosure of /show.xml
        bool known;      // subscribed under a name: read as a feed before
        Failure reason;
        std::string told; // in English, with its reason
    } cases[] = {
        {server.Url("/gone.xml"), false, notFound,
         "Could not open " + server.Url("/gone.xml") + " (HTTP status 404 Not Found)"},
        {server.Url("/page.html"), false, {FailureKind::PageNamesNoFeed},
         "Error!\n\nThe web page " + server.Url("/page.html") +
             " names no feed. Please give the address of the podcast's feed itself."},
        {server.Url("/was-a-feed.html"), true, {FailureKind::NotAFeed},
         "Could not open " + server.Url("/was-a-feed.html") + " (Not a podcast feed)"},
        {server.Url("/list.opml"), false, {FailureKind::NotAFeed},
         "Could not open " + server.Url("/list.opml") + " (Not a podcast feed)"},
        {"http://feeds.tessarine.invalid/f.xml", false, {FailureKind::NameNotFound},
         "Could not open http://feeds.tessarine.invalid/f.xml (Server name not found)"},
        {server.Url("/stalls.xml"), false, {FailureKind::TimedOut},
         "Could not open " + server.Url("/stalls.xml") + " (Timed out)"},
        {"http://127.0.0.1:1/refused.mp3", false, {FailureKind::ConnectionRefused},
         "Could not open http://127.0.0.1:1/refused.mp3 (Connection refused)"},
        {target, false, {FailureKind::PermissionDenied},
         "Error creating file " + target + " (Permission denied)"},
    };
    for (const auto& c : cases)
        if (!c.url.ends_with(".mp3") && c.url != target)
            AddPending(c.url, c.known ? "Known" : "");
    Add(server.Url("/show.xml"));
    Check();

    const std::vector<Message> messages = view.EventsOf<Message>();
    EXPECT_EQ(messages.size(), std::size(cases) - (readOnly.made ? 0 : 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        if (c.url == target && !readOnly.made)
            continue; // neither a read-only folder nor an immutable one here
        const auto told = std::find_if(messages.begin(), messages.end(), [&](const Message& m) {
            return !m.args.empty() && m.args[0] == c.url;
        });
        ASSERT_NE(told, messages.end());
        // The library's own words may come along; the kind is what a front end shows.
        EXPECT_EQ(told->reason.kind, c.reason.kind);
        EXPECT_TRUE(c.reason.kind != FailureKind::HttpStatus || told->reason == c.reason);
        EXPECT_EQ(MessageWithReason(*told), c.told);
        for (const FeedCheckEnd& end : view.EventsOf<FeedCheckEnd>())
            EXPECT_TRUE(end.url != c.url || end.failure == told->reason);
    }
}

// On a clock that stands at its epoch (a machine booted a moment ago) and
// moves only when the test says so.
TEST_F(EngineTest, SettingsAreSavedAtABoundedRateAndWhileWaitingForTheNetwork) {
    std::vector<SubscriptionPtr> shows;
    for (int i = 0; i < 40; ++i) {
        server.Serve("/" + std::to_string(i) + ".xml", MakeFeed("Show " + std::to_string(i), {}));
        shows.push_back(Add(server.Url("/" + std::to_string(i) + ".xml")));
    }
    // The last feed keeps the walk waiting. Once the walk has checked every
    // other feed and waits, the save interval passes: the others are saved
    // while it still waits.
    std::atomic<bool> moveOn{true}, savedWhileWaiting{false};
    server.Server().Get("/slow.xml", [&](const httplib::Request&, httplib::Response& response) {
        if (moveOn) {
            EXPECT_TRUE(view.AwaitEvents([&](const std::vector<Event>& events) {
                return std::count_if(events.begin(), events.end(), [](const Event& event) {
                           return std::holds_alternative<FeedCheckEnd>(event);
                       }) == static_cast<long>(shows.size());
            }));
            EXPECT_TRUE(clock.AwaitWaiting());
            SettingsWrites saves(base);
            clock.Advance(options.saveInterval);
            savedWhileWaiting =
                saves.Await(1) &&
                ReadFile(base / kSettingsFileName).find(">Show 39<") != std::string::npos;
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
    EXPECT_NE(ReadFile(base / kSettingsFileName).find(">Slow<"), std::string::npos);
    // The first change at once, one during the wait, one at the end.
    EXPECT_EQ(writes.Count(), 3);
    EXPECT_EQ(slow->lastChecked, OleDateTime::FromTime(clock.CalendarNow())); // the clock's date

    // With a long interval: the first change at once, the rest at the end.
    engine.reset();
    moveOn = false;
    options.saveInterval = std::chrono::hours(1);
    model.MarkAllPending();
    Check();
    EXPECT_EQ(writes.Count(), 5);
}

// The user's hold on single downloads: one cancelled while it waits is never
// asked for; one cancelled during its transfer stops there, keeping what
// arrived, and a retry asks for the rest in the same row. A check finds a
// failed or cancelled download again in its own row (once taken off the
// list, in a new one: the window's download menu test).
TEST_F(EngineTest, DownloadsAreCancelledAndRetriedInTheirOwnRows) {
    const std::string body = Pattern(200000, 0);
    using Resource = LoopbackServer::Resource;
    server.ServeResource(
        "/slow.mp3",
        Resource{.body = body, .etag = "\"s\"", .trickleBytes = 1000, .trickleEveryMs = 20});
    server.Serve("/gone.mp3", "missing", "text/plain", 404);
    server.Serve("/later.mp3", "later");
    server.Serve("/f.xml", MakeFeed("Show", {{server.Url("/gone.mp3")},
                                             {server.Url("/slow.mp3")},
                                             {server.Url("/later.mp3")}}));
    server.Start();
    auto r = Add(server.Url("/f.xml"));
    const fs::path folder = base / "Show";
    const auto rowOf = [&](const std::string& file) {
        const auto rows = view.Rows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i][ColumnFile] == file)
                return i;
        return rows.size();
    };
    const auto states = [&](size_t row) {
        std::vector<DownloadState> out;
        for (const auto& e : view.EventsOf<DownloadStateEvent>())
            if (e.index == row)
                out.push_back(e.state);
        return out;
    };
    Engine().RequestCycle();
    ASSERT_TRUE(view.AwaitEvents([](const std::vector<Event>& events) {
        std::optional<size_t> slowRow;
        for (const Event& e : events) {
            if (const auto* q = std::get_if<QueuedDownload>(&e); q && q->fileName == "slow.mp3")
                slowRow = q->index;
            if (const auto* p = std::get_if<DownloadProgressEvent>(&e);
                p && slowRow && p->index == *slowRow && p->received > 0)
                return true;
        }
        return false;
    }));
    const size_t gone = rowOf("gone.mp3"), slow = rowOf("slow.mp3"), later = rowOf("later.mp3");
    EXPECT_TRUE(Engine().CancelDownload(later)); // waiting
    EXPECT_TRUE(Engine().CancelDownload(slow));  // under way
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_FALSE(Engine().CancelDownload(slow)); // nothing left to cancel
    EXPECT_FALSE(Engine().RetryDownload(99));
    using S = DownloadState;
    EXPECT_EQ(states(slow), (std::vector{S::Downloading, S::Cancelled}));
    EXPECT_EQ(states(later), std::vector{S::Cancelled});
    EXPECT_EQ(view.EventsOf<DownloadStateEvent>().back().reason.kind, FailureKind::Cancelled);
    EXPECT_EQ(server.Hits("/later.mp3"), 0);
    EXPECT_EQ(view.Rows()[gone][ColumnStatus], "Failed");
    const std::string kept = ReadFile(PartialFile::PathFor((folder / "slow.mp3").string()));
    ASSERT_FALSE(kept.empty());

    server.ServeResource("/slow.mp3", Resource{.body = body, .etag = "\"s\""});
    EXPECT_TRUE(Engine().RetryDownload(slow));
    EXPECT_FALSE(Engine().RetryDownload(slow)); // it waits already
    ASSERT_TRUE(Engine().WaitForIdle(30s));
    EXPECT_TRUE(ReadFile((folder / "slow.mp3").string()) == body);
    EXPECT_EQ(server.LastRequestHeader("/slow.mp3", "Range"),
              "bytes=" + std::to_string(kept.size()) + "-");
    EXPECT_EQ(view.Rows()[slow][ColumnStatus], "Completed");

    // The next check queues the failed and the cancelled one again in place.
    Check(r);
    EXPECT_EQ(view.Rows().size(), 3u);
    EXPECT_EQ(view.Rows()[gone][ColumnStatus], "Failed");
    EXPECT_EQ(view.Rows()[later][ColumnStatus], "Completed");
    EXPECT_EQ(server.Hits("/gone.mp3"), 3); // the retry's cycle tried it again too
    EXPECT_EQ(view.EventsOf<QueuedDownload>().size(), 5u);
}
