// Benchmark 6: polite and fast on the network. Whole check cycles of 500
// feeds in which nothing changed, against a server that answers conditional
// requests with 304 and one that does not, beside the floor of one curl
// process requesting the same URLs; the bytes such a cycle receives; the
// same check as a whole `tessarine-cli check` process, and the size of the
// episode store it keeps; the settings file's writes during a cycle of 2,000
// feeds; and resuming a 1 GiB transfer from its middle.
#include "Benchmarks.h"
#include "ServerProcess.h"
#include "Workloads.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/SettingsFile.h"
#include "core/net/HttpClient.h"
#include "core/store/EpisodeStore.h"
#include "core/update/UpdateEngine.h"
#include "platform/CacheFolder.h"
#include "support/EventRecorder.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

namespace bench {

namespace fs = std::filesystem;
using namespace tessarine;
using tessarine::test::TempDir;

namespace {

int64_t ServerBytes(ServerProcess& server, bool reset) {
    HttpSession session;
    std::string body;
    session.FetchToString(server.Url(std::string(kStatsPath) + (reset ? "/reset" : "")), body, -1);
    return body.empty() ? -1 : std::stoll(body);
}

// One engine with `count` subscriptions whose every enclosure is on disk.
struct Cycles {
    TempDir dir;
    std::string base = dir.Base();
    SharedModel model;
    test::EventRecorder view;
    std::unique_ptr<UpdateEngine> engine;
    std::vector<SubscriptionPtr> records;
    std::vector<std::string> titles;

    Cycles(int count, const std::function<std::string(int)>& url,
           const std::function<std::string(int)>& title, int items) {
        model.SetBaseDirectory(base);
        for (int f = 0; f < count; ++f) {
            titles.push_back(title(f));
            CreateEnclosureFiles(base, titles.back(), items);
            records.push_back(model.AddSubscription(url(f), titles.back()));
        }
        EngineOptions options; // the feed cache where the program keeps it
        options.feedCacheDirectory = FeedCacheFolder();
        engine = std::make_unique<UpdateEngine>(model, view, false, options);
    }
    // Seconds of one whole "Check for new items"; false in `ok` when a row
    // did not end as it must.
    double Run(bool& ok) {
        const auto start = Clock::now();
        engine->OnCheckForNewItems();
        ok = engine->WaitForIdle(std::chrono::minutes(10)) && ok;
        const double seconds = SecondsSince(start);
        for (size_t i = 0; i < records.size() && ok; ++i) {
            const Subscription values = model.Values(records[i]);
            ok = values.status == NoNewItems && values.name == titles[i];
        }
        ok = ok && view.Rows().empty() && view.Messages().empty();
        return seconds;
    }
};

// Counts the settings file's replacements in `base` while it lives.
class SettingsWrites {
public:
    explicit SettingsWrites(const std::string& base) {
        fd_ = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (fd_ >= 0)
            inotify_add_watch(fd_, base.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
        thread_ = std::thread([this] {
            alignas(inotify_event) char buffer[65536];
            while (!stop_) {
                const ssize_t n = fd_ >= 0 ? ::read(fd_, buffer, sizeof buffer) : -1;
                if (n <= 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    continue;
                }
                for (ssize_t at = 0; at < n;) {
                    const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                    if (event->len > 0 && std::string(event->name) == kSettingsFileName)
                        ++count_;
                    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                }
            }
        });
    }
    ~SettingsWrites() {
        stop_ = true;
        thread_.join();
        if (fd_ >= 0)
            ::close(fd_);
    }
    int Count() {
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the last events
        return count_;
    }

private:
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> count_{0};
    std::thread thread_;
};

} // namespace

void NetworkBenchmark(const Settings& settings, ServerProcess& server, Report& report) {
    std::cout << "6. Network" << std::endl;
    const std::string label = "6 Network";
    // The program's own cache goes to a folder of this run.
    TempDir cacheHome;
    setenv("XDG_CACHE_HOME", cacheHome.Path().c_str(), 1);

    // The floor: one curl process, one connection, the same 500 URLs.
    TempDir curlDir;
    const std::string config = curlDir / "urls.txt";
    {
        std::ofstream out(config);
        for (int f = 0; f < kManyFeeds; ++f)
            out << "url = \"" << server.Url(ValidatedFeedPath(f)) << "\"\noutput = \"/dev/null\"\n";
    }
    std::vector<double> floor;
    bool ok = true;
    for (int run = 0; run < settings.runs; ++run) {
        const ChildResult child = RunChild({"curl", "-s", "-K", config});
        ok = ok && child.exitCode == 0;
        floor.push_back(child.seconds);
    }

    auto many = [&](const std::function<std::string(int)>& path) {
        return std::make_unique<Cycles>(
            kManyFeeds, [&, path](int f) { return server.Url(path(f)); }, ManyFeedTitle,
            kManyItems);
    };
    const auto validated = many(ValidatedFeedPath);
    const auto plain = many(ManyFeedPath);
    // The first cycle of each writes the archives (and the cache).
    validated->Run(ok);
    plain->Run(ok);
    std::vector<double> with, without;
    for (int run = 0; run < settings.bigRuns; ++run) {
        with.push_back(validated->Run(ok));
        without.push_back(plain->Run(ok));
    }
    ServerBytes(server, true);
    validated->Run(ok);
    const int64_t unchangedBytes = ServerBytes(server, false);
    ServerBytes(server, true);
    plain->Run(ok);
    const int64_t fullBytes = ServerBytes(server, false);
    if (!ok)
        report.Fail("6: a cycle did not end as expected (statuses, names, rows or messages)");

    const double floorSeconds = Median(floor);
    const std::string what = Format("%d feeds x %d items, nothing new", kManyFeeds, kManyItems);
    report.Add({label, "cycle, server with validators (" + what + ")", FormatSeconds(Median(with)),
                "curl -K " + FormatSeconds(floorSeconds), ListSeconds(with)});
    report.Add({label, "cycle, server without validators", FormatSeconds(Median(without)), "",
                ListSeconds(without)});
    report.Add({label, "bytes received, unchanged cycle with validators",
                Format("%.2f MB", static_cast<double>(unchangedBytes) / 1e6),
                Format("full cycle %.2f MB", static_cast<double>(fullBytes) / 1e6),
                "counted by the server: bodies, and 200 bytes per header block"});
    const double ratio = Median(with) / floorSeconds;
    report.Check("Network: unchanged cycle with validators within 4 x the curl floor",
                 Format("%.1f x", ratio), ratio <= 4);
    report.Check("Network: unchanged cycle with validators under 1 s", FormatSeconds(Median(with)),
                 Median(with) < 1);
    report.Check("Network: cycle without validators under 2 s", FormatSeconds(Median(without)),
                 Median(without) < 2);
    const double share = fullBytes > 0 ? static_cast<double>(unchangedBytes) / fullBytes : 1;
    report.Check("Network: bytes of an unchanged cycle under 2 % of a full one",
                 Format("%.2f %%", share * 100), share < 0.02);

    // The whole command line program, a fresh process each time, over a base
    // directory whose archives, episode store and feed cache a first run made.
    {
        TempDir cliDir, cliCache;
        const std::string base = cliDir.Base();
        SubscriptionList list;
        for (int f = 0; f < kManyFeeds; ++f) {
            list.Append(server.Url(ValidatedFeedPath(f)), ManyFeedTitle(f));
            CreateEnclosureFiles(base, ManyFeedTitle(f), kManyItems);
        }
        OptionSet options;
        options.updateStart = 0;
        WriteFileAtomically(SettingsFilePath(base), SerializeSettings(options, list));
        setenv("XDG_CACHE_HOME", cliCache.Path().c_str(), 1); // a cache of its own
        const std::string output = cliDir / "output.txt";
        bool cliOk = true;
        auto check = [&] {
            const ChildResult child =
                RunChild({TESSARINE_CLI_BINARY, "--base", base, "check"}, {}, output);
            cliOk = cliOk && child.exitCode == 0;
            return child.seconds;
        };
        const double first = check();
        std::vector<double> again;
        for (int run = 0; run < settings.bigRuns; ++run)
            again.push_back(check());
        setenv("XDG_CACHE_HOME", cacheHome.Path().c_str(), 1);

        // The store the runs made: an episode for every item, each downloaded.
        const std::string storeFile = BaseDirectoryPath(base).EpisodeStoreFile();
        int64_t episodes = 0, downloaded = 0;
        {
            EpisodeStore store;
            cliOk = store.OpenForReading(base) && cliOk;
            cliOk = !store.Db().QueryInt("SELECT count(*) FROM episode", episodes) &&
                    !store.Db().QueryInt("SELECT count(*) FROM episode WHERE state = 'downloaded'"
                                         " AND file <> ''", downloaded) && cliOk;
        }
        std::error_code error;
        const double storeBytes = static_cast<double>(fs::file_size(storeFile, error));
        cliOk = cliOk && !error && episodes == kManyFeeds * kManyItems && downloaded == episodes;
        if (!cliOk)
            report.Fail("6: tessarine-cli check did not end as expected (exit code or store), see " +
                        output);

        report.Add({label, "tessarine-cli check, fresh process, unchanged feeds with validators",
                    FormatSeconds(Median(again)), "curl -K " + FormatSeconds(floorSeconds),
                    ListSeconds(again) + "; store, archives and feed cache from a first run"});
        report.Add({label, "  its first run (makes the store, archives and feed cache)",
                    FormatSeconds(first), "", ""});
        report.Add({"7 Episode store", Format("store file, %lld episodes (%d podcasts x %d)",
                                              static_cast<long long>(episodes), kManyFeeds,
                                              kManyItems),
                    FormatMiB(storeBytes / 1024), "",
                    Format("%.0f bytes an episode, made by the check above", storeBytes /
                           static_cast<double>(std::max<int64_t>(1, episodes)))});
        const double cliRatio = Median(again) / floorSeconds;
        report.Check("Network: tessarine-cli check of unchanged feeds within 4 x the curl floor",
                     Format("%.1f x (%s)", cliRatio, FormatSeconds(Median(again)).c_str()),
                     cliOk && cliRatio <= 4);
    }

    // The settings file during a cycle of 2,000 feeds.
    {
        Cycles small(
            kSmallFeeds, [&](int f) { return server.Url(SmallFeedPath(f)); }, SmallFeedTitle,
            kSmallItems);
        bool smallOk = true;
        small.Run(smallOk); // archives written
        SettingsWrites writes(small.base);
        small.Run(smallOk);
        const int count = writes.Count();
        std::error_code error;
        const auto size = fs::file_size(SettingsFilePath(small.base), error);
        const double written = static_cast<double>(count) * static_cast<double>(size);
        if (!smallOk || error)
            report.Fail("6: the cycle of 2,000 feeds did not end as expected");
        report.Add({label, Format("settings file written during a cycle of %d feeds", kSmallFeeds),
                    Format("%.1f MB", written / 1e6),
                    Format("file %.2f MB", static_cast<double>(size) / 1e6),
                    Format("%d writes", count)});
        report.Check("Network: settings bytes written in a cycle under 10 x the file's size",
                     Format("%.1f x", written / std::max<double>(1, static_cast<double>(size))),
                     size > 0 && written < 10.0 * static_cast<double>(size));
    }

    // Resuming the second half of 1 GiB: only that half comes.
    {
        const int64_t size = int64_t{1} << 30, half = size / 2;
        const std::string url = server.Url(RangedBlobPath(size));
        HttpSession session;
        HttpValidators validators;
        session.Fetch(
            url, HttpRequest{},
            [&](const HttpResult& response) {
                validators = response.validators;
                return false; // only the validators of the first reply
            },
            nullptr);
        // The server goes on sending into the closed connection for a while;
        // counting starts once it has noticed.
        for (int64_t last = -2, now = ServerBytes(server, false); now != last;
             now = ServerBytes(server, false)) {
            last = now;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ServerBytes(server, true);
        int64_t received = 0;
        const auto start = Clock::now();
        const HttpResult result = session.Fetch(
            url, HttpRequest{.resumeFrom = half, .resumeIf = validators},
            [&](const HttpResult& response) {
                return DecideResume(response, half, size) == ResumeAction::Append;
            },
            [&](std::string_view chunk) {
                received += static_cast<int64_t>(chunk.size());
                return true;
            });
        const double seconds = SecondsSince(start);
        const int64_t sent = ServerBytes(server, false);
        const bool resumed = result.Complete() && result.status == 206 && received == half;
        if (!resumed)
            report.Fail("6: resuming the 1 GiB transfer did not append the second half");
        report.Add({label, "resume the second half of 1 GiB: bytes sent",
                    Format("%.1f MiB", static_cast<double>(sent) / (1 << 20)),
                    Format("half %.1f MiB", static_cast<double>(half) / (1 << 20)),
                    FormatSeconds(seconds)});
        report.Check("Network: resuming the second half of 1 GiB sends only that half",
                     Format("%.1f MiB", static_cast<double>(sent) / (1 << 20)),
                     resumed && sent < half + (1 << 20));
    }
}

} // namespace bench
