// Benchmark 4: start-up with 2,000 subscriptions, one refresh of their rows,
// queueing 20,000 downloads into the download list, and painting that list.
#include "Benchmarks.h"
#include "GuiSupport.h"
#include "Workloads.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/SettingsFile.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "support/GuiHarness.h"
#include "support/LibraryTestAccess.h"
#include "support/LoopbackServer.h"
#include "support/UpdateEngineTestAccess.h"

#include <QScrollBar>
#include <QSettings>
#include <QWindow>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <iostream>
#include <thread>

extern char** environ;

namespace bench {

namespace fs = std::filesystem;
using namespace tessarine;

namespace {

std::string StartupFeedTitle(int feed) { return Format("Show %04d", feed); }

void WriteSettings(const std::string& base, const std::string& origin, int32_t updateStart) {
    SubscriptionList list;
    for (int f = 0; f < kStartupFeeds; ++f)
        list.Append(origin + Format("/startup/%d.xml", f), StartupFeedTitle(f));
    OptionSet options;
    options.updateStart = updateStart;
    fs::create_directories(base);
    WriteFileAtomically(SettingsFilePath(base), SerializeSettings(options, list));
}

bool Exposed(QWidget& window) { return window.windowHandle() && window.windowHandle()->isExposed(); }

// The real program as its own process: the time from starting it to its
// first feed request. Its start-up check is posted by the window's
// initialisation and runs once the event loop runs, after the window was
// shown with all rows and the rows were refreshed for the first feed.
std::vector<double> ProcessStartup(int runs, const fs::path& root, Report& report) {
    test::LoopbackServer server;
    std::atomic<int64_t> firstHit{0};
    // Each run's requests are held until that run ends; the program asks for
    // several feeds at once, and a request of an ended run must not hold a
    // server thread into the next run.
    std::atomic<int> runNumber{0};
    server.Server().Get(R"(/startup/(\d+)\.xml)", [&](const httplib::Request&, httplib::Response& response) {
        const int run = runNumber;
        int64_t expected = 0;
        firstHit.compare_exchange_strong(expected, Clock::now().time_since_epoch().count());
        // Hold the program here until it is ended.
        const auto start = Clock::now();
        while (runNumber == run && SecondsSince(start) < 30)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        response.status = 404;
    });
    server.Start();

    const fs::path config = root / "process-config";
    const std::string base = (root / "process-base").string() + "/";
    fs::create_directories(config);
    WriteSettings(base, server.Url(""), 1);
    {
        QSettings profile(QString::fromStdString((config / "Orvendale" / "Tessarine.conf").string()),
                          QSettings::IniFormat);
        profile.setValue("Settings/Basedir", QString::fromStdString(base));
        profile.sync();
    }

    std::vector<std::string> envStrings;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0 && entry.rfind("TESSARINE_LANG=", 0) != 0 &&
            entry.rfind("QT_QPA_PLATFORM=", 0) != 0)
            envStrings.push_back(entry);
    }
    envStrings.push_back("XDG_CONFIG_HOME=" + config.string());
    envStrings.push_back("TESSARINE_LANG=en");
    envStrings.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> env;
    for (std::string& e : envStrings)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::string program = TESSARINE_BINARY;
    char* argv[] = {program.data(), nullptr};

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        firstHit = 0;
        const auto start = Clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, env.data()) != 0) {
            report.Fail("4: cannot start " + program);
            break;
        }
        bool exited = false;
        int status = 0;
        while (firstHit == 0 && SecondsSince(start) < 30) {
            if (waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const int64_t hit = firstHit;
        if (!exited) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ++runNumber;
        if (hit == 0) {
            report.Fail("4: the program ended or hung before its first feed request");
            break;
        }
        times.push_back(std::chrono::duration<double>(Clock::duration(hit) -
                                                      start.time_since_epoch())
                            .count());
    }
    server.Stop();
    return times;
}

} // namespace

void StartupBenchmark(const Settings& settings, Report& report) {
    std::cout << "4. Start-up, refresh, queue" << std::endl;
    test::GuiHarness harness;
    const std::string base = (harness.root.Path() / "base").string() + "/";
    WriteSettings(base, "http://127.0.0.1:9", 0);
    harness.SetProfileBaseDirectory(QString::fromStdString(base));
    const std::string label = "4 Start-up";

    // In this process: construction, initialisation (the settings file with
    // every row), showing and the first paint.
    std::unique_ptr<QueuedEngineView> events;
    std::unique_ptr<PodcastLibrary> library;
    std::unique_ptr<CTessarineDlg> window;
    bool ok = true;
    const std::vector<double> startup = Repeat(settings.runs, [&](int) {
        window.reset();
        library.reset();
        events.reset();
        QCoreApplication::processEvents();
        const auto start = Clock::now();
        events = std::make_unique<QueuedEngineView>();
        library = std::make_unique<PodcastLibrary>(*events, StartupSwitches{});
        library->ClaimBaseDirectory(base);
        window = std::make_unique<CTessarineDlg>(*library, *events);
        window->OnInitDialog();
        window->show();
        RunEventsUntil([&] { return Exposed(*window); }, 10);
        QCoreApplication::processEvents();
        const double seconds = SecondsSince(start);
        ReportTableModel* rows = window->SubscriptionList()->Model();
        ok = ok && rows->rowCount() == kStartupFeeds &&
             rows->Cell(kStartupFeeds - 1, 0) ==
                 QString::fromStdString(StartupFeedTitle(kStartupFeeds - 1));
        return seconds;
    });
    report.Add({label, Format("window shown with %d rows, in process", kStartupFeeds),
                FormatSeconds(Median(startup)), "", ListSeconds(startup)});

    const std::vector<double> process = ProcessStartup(settings.runs, harness.root.Path(), report);
    if (!process.empty())
        report.Add({label, "program process: start to first feed request",
                    FormatSeconds(Median(process)), "", ListSeconds(process)});

    // One refresh, as the check cycle makes it after a status change (one
    // row changed): the event and its delivery on the GUI thread, then the
    // repaint it causes, then the event sent from a worker thread (which
    // only queues it). And one after "Check for new items" has marked every
    // subscription (every row changed).
    SharedModel& model = PodcastLibraryTestAccess::Model(*library);
    const SubscriptionPtr changing = model.SubscriptionAt(kStartupFeeds / 2);
    const std::string changingName = model.Values(changing).name;
    auto flip = [&](int i) {
        if (i % 2 == 0)
            model.BeginCheck(changing);
        else
            model.FinishCheck(changing, changingName, false);
    };
    auto flipAll = [&](int i) {
        if (i % 2 == 0) {
            model.MarkAllPending();
            return;
        }
        for (const SubscriptionSnapshot& s : model.SnapshotSubscriptions())
            model.FinishCheck(s.record, s.values.name, false);
    };
    auto refreshNow = [&] {
        events->SubscriptionsChanged();
        events->Deliver();
    };
    std::vector<double> refresh, repaint, fromWorker, refreshAll, repaintAll;
    for (int i = 0; i < 4 * settings.runs; ++i) {
        flip(i);
        auto start = Clock::now();
        refreshNow();
        refresh.push_back(SecondsSince(start));
        start = Clock::now();
        QCoreApplication::processEvents();
        repaint.push_back(SecondsSince(start));
    }
    for (int i = 0; i < 4 * settings.runs; ++i) {
        flip(i);
        std::atomic<bool> done{false};
        double seconds = 0;
        std::thread worker([&] {
            const auto start = Clock::now();
            events->SubscriptionsChanged();
            seconds = SecondsSince(start);
            done = true;
        });
        RunEventsUntil([&] { return done.load(); }, 60);
        worker.join();
        fromWorker.push_back(seconds);
    }
    for (int i = 0; i < 4 * settings.runs; ++i) {
        flipAll(i);
        auto start = Clock::now();
        refreshNow();
        refreshAll.push_back(SecondsSince(start));
        start = Clock::now();
        QCoreApplication::processEvents();
        repaintAll.push_back(SecondsSince(start));
    }
    report.Add({label, Format("one SubscriptionsChanged, %d rows, one changed", kStartupFeeds),
                FormatSeconds(Median(refresh)), "", Format("%zu calls, slowest ", refresh.size()) +
                FormatSeconds(Max(refresh))});
    report.Add({label, "  the repaint that follows it", FormatSeconds(Median(repaint)), "",
                "slowest " + FormatSeconds(Max(repaint))});
    report.Add({label, "  the same called from a worker thread", FormatSeconds(Median(fromWorker)),
                "", "slowest " + FormatSeconds(Max(fromWorker))});
    report.Add({label, Format("one SubscriptionsChanged, %d rows, all changed", kStartupFeeds),
                FormatSeconds(Median(refreshAll)), "",
                Format("%zu calls, slowest ", refreshAll.size()) + FormatSeconds(Max(refreshAll))});
    report.Add({label, "  the repaint that follows it", FormatSeconds(Median(repaintAll)), "",
                "slowest " + FormatSeconds(Max(repaintAll))});

    // 20,000 downloads queued by the engine from a worker thread, each row
    // carried over to the GUI thread, while the GUI thread runs its loop.
    ReportListView* list = window->DownloadList();
    ReportTableModel* downloadRows = list->Model();
    GuiProbe probe;
    std::atomic<bool> done{false};
    std::vector<double> marks; // time at every 1,000 rows
    int queued = 0;
    probe.Start();
    ProfileTimedStep(true);
    const auto queueStart = Clock::now();
    std::thread worker([&] {
        UpdateEngine& engine = PodcastLibraryTestAccess::Engine(*library);
        for (int i = 0; i < kQueuedDownloads; ++i) {
            if (UpdateEngineTestAccess::QueueDownload(
                    engine, Format("http://127.0.0.1:9/queue/q%05d.mp3", i), "Queue"))
                ++queued;
            if ((i + 1) % 1000 == 0)
                marks.push_back(SecondsSince(queueStart));
        }
        done = true;
    });
    // Done when every row is in the list (not merely asked for).
    RunEventsUntil([&] { return done && downloadRows->rowCount() >= kQueuedDownloads; }, 600);
    worker.join();
    const double queueSeconds = SecondsSince(queueStart);
    ProfileTimedStep(false);
    QCoreApplication::processEvents();
    probe.Stop();
    ok = ok && queued == kQueuedDownloads && list->Model()->rowCount() == kQueuedDownloads &&
         list->Model()->Cell(kQueuedDownloads - 1, 0) == "q19999.mp3";
    const double firstThousand = marks.empty() ? 0 : marks.front();
    const double lastThousand = marks.size() < 2 ? 0 : marks.back() - marks[marks.size() - 2];
    report.Add({label, Format("queue %d downloads into the list", kQueuedDownloads),
                FormatSeconds(queueSeconds), "",
                "first 1,000 rows " + FormatSeconds(firstThousand) + ", last 1,000 " +
                    FormatSeconds(lastThousand)});
    report.Add({label, "  longest GUI busy stretch while queueing (CPU time)",
                FormatSeconds(probe.LongestBusySeconds()), "",
                "wall-time gap " + FormatSeconds(probe.LongestGapSeconds()) +
                    Format(", longest event %s (type %d)",
                           FormatSeconds(probe.LongestEventSeconds()).c_str(),
                           probe.LongestEventType())});

    // Painting and scrolling the 20,000-row list.
    QScrollBar* bar = list->verticalScrollBar();
    std::vector<double> fullRepaint, jump, page;
    for (int i = 0; i < 2 * settings.runs; ++i) {
        auto start = Clock::now();
        list->viewport()->repaint();
        fullRepaint.push_back(SecondsSince(start));
        start = Clock::now();
        if (i % 2 == 0)
            list->scrollToBottom();
        else
            list->scrollToTop();
        list->viewport()->repaint();
        jump.push_back(SecondsSince(start));
    }
    list->scrollToTop();
    for (int i = 0; i < 50; ++i) {
        const auto start = Clock::now();
        bar->setValue(bar->value() + bar->pageStep() * 37);
        list->viewport()->repaint();
        page.push_back(SecondsSince(start));
    }
    std::vector<double> cell;
    for (int i = 0; i < 2 * settings.runs; ++i) {
        const auto start = Clock::now();
        events->DownloadProgress(static_cast<size_t>(list->indexAt(QPoint(5, 5)).row()), i,
                                 100);
        QCoreApplication::processEvents();
        cell.push_back(SecondsSince(start));
    }
    report.Add({label, "  full repaint of the 20,000-row list", FormatSeconds(Median(fullRepaint)),
                "", "slowest " + FormatSeconds(Max(fullRepaint))});
    report.Add({label, "  jump to the end or the top, with repaint", FormatSeconds(Median(jump)),
                "", "slowest " + FormatSeconds(Max(jump))});
    report.Add({label, "  scroll step with repaint", FormatSeconds(Median(page)), "",
                "50 steps, slowest " + FormatSeconds(Max(page))});
    report.Add({label, "  change one visible cell and repaint", FormatSeconds(Median(cell)), "",
                "slowest " + FormatSeconds(Max(cell))});

    if (!ok)
        report.Fail("4: rows did not come out as expected");
    const double startMedian = process.empty() ? Median(startup)
                                               : std::max(Median(startup), Median(process));
    report.Check("Start-up with 2,000 subscriptions under 1 s",
                 FormatSeconds(Median(startup)) + " in process" +
                     (process.empty() ? "" : ", " + FormatSeconds(Median(process)) + " as a process"),
                 ok && startMedian < 1);
    report.Check("One refresh of 2,000 rows under 20 ms",
                 FormatSeconds(Median(refresh)) + " with one row changed, " +
                     FormatSeconds(Median(refreshAll)) + " with all changed",
                 std::max(Median(refresh), Median(refreshAll)) < 0.02);
    const double slowestPaint = std::max({Max(fullRepaint), Max(jump), Max(page), Max(cell)});
    const bool flat = lastThousand <= 2 * firstThousand + 0.05;
    report.Check("20,000 queued rows, list not sluggish (GUI never busy > 50 ms while queueing, "
                 "the last 1,000 rows no slower than 2 x the first, every paint < 16 ms)",
                 FormatSeconds(probe.LongestBusySeconds()) + " busy, " +
                     FormatSeconds(lastThousand) + " vs " + FormatSeconds(firstThousand) +
                     ", slowest paint " + FormatSeconds(slowestPaint),
                 ok && probe.LongestBusySeconds() <= 0.05 && flat && slowestPaint < 0.016);
    window.reset();
    library.reset();
    events.reset();
}

} // namespace bench
