// Benchmarks 2, 3 and 5: whole check cycles in which nothing needs to be
// downloaded, for many ordinary feeds through the real window, and for one
// huge feed through the engine's worker, with and without an episode store.
#include "Benchmarks.h"
#include "GuiSupport.h"
#include "ServerProcess.h"
#include "Workloads.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/SettingsFile.h"
#include "core/store/EpisodeLedger.h"
#include "core/update/UpdateEngine.h"
#include "core/util/Strings.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "platform/CacheFolder.h"
#include "support/EventRecorder.h"
#include "support/GuiHarness.h"
#include "support/TestSupport.h"

#include <QWindow>

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <iostream>

namespace bench {

namespace fs = std::filesystem;
using namespace tessarine;
using tessarine::test::TempDir;

namespace {

std::string ArchivePath(const std::string& base, const std::string& title) {
    return FeedFilePath(base, title, kArchiveFileName);
}

} // namespace

void HugeFeedBenchmark(const Settings& settings, ServerProcess& server, Report& report) {
    std::cout << "3. Check, one huge feed" << std::endl;
    TempDir dir;
    const std::string base = dir.Base();
    SharedModel model;
    model.SetBaseDirectory(base);
    test::EventRecorder view;
    EngineOptions options; // the feed cache where the program keeps it
    options.feedCacheDirectory = FeedCacheFolder();
    UpdateEngine engine(model, view, false, options);
    const SubscriptionPtr record =
        model.AddSubscription(server.Url(HugeFeedPath()), HugeFeedTitle());
    CreateEnclosureFiles(base, HugeFeedTitle(), kHugeItems);
    const std::string archive = ArchivePath(base, HugeFeedTitle());

    bool ok = true;
    auto cycle = [&](long& peakKiB, std::vector<double>& cpu) {
        PeakMeter meter;
        ProfileTimedStep(true);
        const double startCpu = ProcessCpuSeconds();
        const auto start = Clock::now();
        engine.OnCheckForNewItems();
        ok = engine.WaitForIdle(std::chrono::minutes(10)) && ok;
        const double seconds = SecondsSince(start);
        cpu.push_back(ProcessCpuSeconds() - startCpu);
        ProfileTimedStep(false);
        peakKiB = meter.StopKiB();
        const Subscription values = model.Values(record);
        ok = ok && values.status == NoNewItems && values.name == HugeFeedTitle();
        return seconds;
    };

    std::vector<double> first, second, firstPeak, secondPeak, firstCpu, secondCpu;
    std::string archiveBytes;
    for (int run = 0; run < settings.bigRuns; ++run) {
        fs::remove(archive);
        long peak = 0;
        first.push_back(cycle(peak, firstCpu));
        firstPeak.push_back(static_cast<double>(peak));
        std::string written;
        ok = ReadRegularFile(archive, kMaxArchiveFileBytes, written) == FileRead::Read && ok;
        if (run == 0)
            archiveBytes = written;
        ok = ok && written == archiveBytes;
        second.push_back(cycle(peak, secondCpu));
        secondPeak.push_back(static_cast<double>(peak));
        std::string after;
        ok = ReadRegularFile(archive, kMaxArchiveFileBytes, after) == FileRead::Read && after == written && ok;
    }
    ok = ok && view.Rows().empty() && view.Messages().empty();
    if (!ok)
        report.Fail("3: a cycle did not end as expected (status, archive, rows or messages)");

    std::string feedText = HugeFeedText(server.Origin());
    const std::string label = "3 Huge feed";
    report.Add({label, Format("cycle, new archive (feed %.1f MB, %d items)",
                              static_cast<double>(feedText.size()) / 1e6, kHugeItems),
                FormatSeconds(Median(first)), "",
                ListSeconds(first) + "; CPU " + FormatSeconds(Median(firstCpu))});
    report.Add({label, Format("cycle, archive on disk (%.1f MB)",
                              static_cast<double>(archiveBytes.size()) / 1e6),
                FormatSeconds(Median(second)), "",
                ListSeconds(second) + "; CPU " + FormatSeconds(Median(secondCpu))});
    report.Add({label, "peak resident memory, new archive", FormatMiB(Max(firstPeak)), "",
                "largest of the runs"});
    report.Add({label, "peak resident memory, archive on disk", FormatMiB(Max(secondPeak)), "",
                "largest of the runs"});
    const double ratio = Median(second) / Median(first);
    report.Check("Huge feed: second run no slower than 1.5 x the first", Format("%.2f x", ratio),
                 ok && ratio <= 1.5);

    // The same unchanged feed with an episode store, opened as the library
    // opens it, beside the engine above without one; both warm, taking turns.
    TempDir storeDir;
    SharedModel storeModel;
    storeModel.SetBaseDirectory(storeDir.Base());
    const std::string url = server.Url(HugeFeedPath());
    EpisodeLedger ledger;
    const bool opened = ledger.Open(storeModel.BaseDirectory(), {{url, ""}}, std::time(nullptr))
                            .result == EpisodeStore::OpenResult::Opened;
    EngineOptions storeOptions = options;
    storeOptions.episodes = &ledger;
    UpdateEngine storeEngine(storeModel, view, false, storeOptions);
    const SubscriptionPtr storeRecord = storeModel.AddSubscription(url, HugeFeedTitle());
    CreateEnclosureFiles(storeDir.Base(), HugeFeedTitle(), kHugeItems);
    auto storeCycle = [&](std::vector<double>& cpu) {
        const double startCpu = ProcessCpuSeconds();
        const auto start = Clock::now();
        storeEngine.OnCheckForNewItems();
        ok = storeEngine.WaitForIdle(std::chrono::minutes(10)) && ok;
        const double seconds = SecondsSince(start);
        cpu.push_back(ProcessCpuSeconds() - startCpu);
        ok = ok && storeModel.Values(storeRecord).status == NoNewItems;
        return seconds;
    };
    std::vector<double> withStore, withStoreCpu, without, withoutCpu;
    long unusedPeak = 0;
    std::vector<double> firstStoreCpu;
    const double firstStore = storeCycle(firstStoreCpu); // archive and episodes written
    for (int run = 0; run < settings.bigRuns; ++run) {
        withStore.push_back(storeCycle(withStoreCpu));
        without.push_back(cycle(unusedPeak, withoutCpu));
    }
    std::vector<StoredEpisode> stored;
    ok = ok && opened && ledger.Episodes(storeModel.BaseDirectory(), url, stored) &&
         stored.size() == static_cast<size_t>(kHugeItems) && view.Rows().empty() &&
         view.Messages().empty();
    if (!ok)
        report.Fail("3: a cycle with the episode store did not end as expected");
    report.Add({label, "cycle, archive on disk, with the episode store",
                FormatSeconds(Median(withStore)), "without " + FormatSeconds(Median(without)),
                ListSeconds(withStore) + "; CPU " + FormatSeconds(Median(withStoreCpu)) +
                    " (without " + FormatSeconds(Median(withoutCpu)) + "); first cycle " +
                    FormatSeconds(firstStore)});
    const double storeRatio = Median(withStore) / Median(without);
    report.Check("Huge feed: unchanged cycle with the episode store under 2 x without",
                 Format("%.2f x", storeRatio), ok && storeRatio < 2);
}

void ManyFeedsBenchmark(const Settings& settings, ServerProcess& server, Report& report) {
    std::cout << "2. Check, many feeds (and 5. GUI responsiveness)" << std::endl;
    test::GuiHarness harness;
    const std::string base = (harness.root.Path() / "base").string() + "/";
    fs::create_directories(base);
    harness.SetProfileBaseDirectory(QString::fromStdString(base));
    {
        SubscriptionList list;
        for (int f = 0; f < kManyFeeds; ++f)
            list.Append(server.Url(ManyFeedPath(f)), ManyFeedTitle(f));
        OptionSet options;
        options.updateStart = 0;
        WriteFileAtomically(SettingsFilePath(base), SerializeSettings(options, list));
    }
    // Setup, not timed: every enclosure's file is present.
    const auto setupStart = Clock::now();
    for (int f = 0; f < kManyFeeds; ++f)
        CreateEnclosureFiles(base, ManyFeedTitle(f), kManyItems);
    std::cout << "  (created " << kManyFeeds * kManyItems << " files in "
              << FormatSeconds(SecondsSince(setupStart)) << ")" << std::endl;

    QueuedEngineView events;
    EngineOptions options; // the feed cache where the program keeps it
    options.feedCacheDirectory = FeedCacheFolder();
    PodcastLibrary library(events, {}, options);
    if (library.ClaimBaseDirectory(base) != PodcastLibrary::Claim::Obtained)
        report.Fail("2: the base directory could not be claimed");
    CTessarineDlg window(library, events);
    window.OnInitDialog();
    window.show();
    RunEventsUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 10);
    ReportTableModel* rows = window.SubscriptionList()->Model();
    bool ok = rows->rowCount() == kManyFeeds;

    GuiProbe probe;
    double longestGap = 0, longestBusy = 0, longestEvent = 0, longestEventCpu = 0;
    int longestEventType = 0;
    std::vector<double> cpu;
    auto cycle = [&] {
        probe.Start();
        ProfileTimedStep(true);
        const double startCpu = ProcessCpuSeconds();
        const auto start = Clock::now();
        window.OnCommand(ID_CHECK_NEW_ITEMS);
        ok = RunEventsUntil([&] { return !library.IsBusy(); }, 600) && ok;
        events.Deliver(); // the last rows' changes
        const double seconds = SecondsSince(start);
        cpu.push_back(ProcessCpuSeconds() - startCpu);
        ProfileTimedStep(false);
        probe.Stop();
        longestGap = std::max(longestGap, probe.LongestGapSeconds());
        longestBusy = std::max(longestBusy, probe.LongestBusySeconds());
        longestEventCpu = std::max(longestEventCpu, probe.LongestEventCpuSeconds());
        if (probe.LongestEventSeconds() > longestEvent) {
            longestEvent = probe.LongestEventSeconds();
            longestEventType = probe.LongestEventType();
        }
        const QString noNewItems = QString::fromStdString(LoadResString(IDS_STATUS_NO_NEW_ITEMS));
        for (int f = 0; f < kManyFeeds && ok; ++f)
            ok = rows->Cell(f, 0) == QString::fromStdString(ManyFeedTitle(f)) &&
                 rows->Cell(f, 2) == noNewItems;
        ok = ok && window.DownloadList()->Model()->rowCount() == 0 && harness.messages.empty();
        return seconds;
    };

    std::vector<double> fresh, onDisk, freshCpu, onDiskCpu;
    for (int run = 0; run < settings.bigRuns; ++run) {
        for (int f = 0; f < kManyFeeds; ++f)
            fs::remove(ArchivePath(base, ManyFeedTitle(f)));
        fresh.push_back(cycle());
        freshCpu.push_back(cpu.back());
        onDisk.push_back(cycle());
        onDiskCpu.push_back(cpu.back());
    }
    if (!ok)
        report.Fail("2: a cycle did not end as expected (rows, statuses, downloads or messages)");

    const std::string label = "2 Many feeds";
    const std::string what = Format("%d feeds x %d items", kManyFeeds, kManyItems);
    report.Add({label, "cycle, new archives (" + what + ")", FormatSeconds(Median(fresh)), "",
                ListSeconds(fresh) + "; CPU " + FormatSeconds(Median(freshCpu))});
    report.Add({label, "cycle, archives on disk", FormatSeconds(Median(onDisk)), "",
                ListSeconds(onDisk) + "; CPU " + FormatSeconds(Median(onDiskCpu))});
    report.Add({"5 GUI during 2", "longest stretch busy without the event loop (CPU time)",
                FormatSeconds(longestBusy), "", "largest of all cycles"});
    report.Add({"5 GUI during 2", "  the same in wall time (gap between 1 ms timer ticks)",
                FormatSeconds(longestGap), "",
                "also holds time the system gave to other processes"});
    report.Add({"5 GUI during 2", "longest single event handled",
                FormatSeconds(longestEvent) + Format(" (event type %d)", longestEventType), "",
                "CPU time " + FormatSeconds(longestEventCpu)});
    const double worst = std::max(Max(fresh), Max(onDisk));
    report.Check("Many feeds: a whole cycle under 15 s", FormatSeconds(worst) + " (slowest run)",
                 ok && worst < 15);
    report.Check("Many feeds: GUI thread never busy more than 50 ms at a time",
                 FormatSeconds(longestBusy) + " longest busy stretch (wall-time gap " +
                     FormatSeconds(longestGap) + ")",
                 longestBusy <= 0.05);
}

} // namespace bench
