// Benchmark 7: the Episodes window of a podcast with 5,000 stored episodes:
// opening it (the store's query, the rows' model, the window shown and
// painted) and scrolling through the list page by page.
#include "Benchmarks.h"
#include "GuiSupport.h"

#include "core/files/BaseDirectory.h"
#include "core/files/FileStore.h"
#include "core/model/SettingsFile.h"
#include "core/store/EpisodeStore.h"
#include "mainwindow/EpisodeTableModel.h"
#include "mainwindow/EpisodesWindow.h"
#include "mainwindow/QueuedEngineView.h"
#include "support/TestSupport.h"

#include <QScrollBar>
#include <QTreeView>
#include <QWindow>

#include <filesystem>

namespace bench {

namespace fs = std::filesystem;
using namespace tessarine;

namespace {

constexpr int kEpisodes = 5000;
constexpr const char* kFeed = "http://127.0.0.1:9/episodes/feed.xml";

// A base directory whose one podcast has kEpisodes episodes in the store,
// in every state, as years of checks would leave them.
void FillBase(const std::string& base) {
    SubscriptionList list;
    list.Append(kFeed, "Long Running Show");
    fs::create_directories(base);
    WriteFileAtomically(SettingsFilePath(base), SerializeSettings(OptionSet{}, list));
    EpisodeStore store;
    int64_t podcast = 0;
    if (store.Open(base) != EpisodeStore::OpenResult::Opened ||
        store.Podcast(kFeed, "Long Running Show", podcast))
        return;
    Transaction transaction = store.Begin();
    for (int i = 0; i < kEpisodes; ++i) {
        StoredEpisode e;
        e.key = Format("guid-%05d", i);
        e.guid = e.key;
        e.url = Format("http://127.0.0.1:9/episodes/%05d.mp3", i);
        e.title = Format("Episode %d: a title about as long as the titles of real shows", i);
        const int day = i % 28 + 1, month = i / 28 % 12 + 1, year = 2000 + i / 336;
        e.date = Format("%04d-%02d-%02dT06:00:00Z", year, month, day);
        e.state = static_cast<EpisodeState>(i % 7);
        if (e.state == EpisodeState::Downloaded)
            e.file = Format("Long Running Show/%05d.mp3", i);
        e.reason = e.state == EpisodeState::Failed ? "http-status 404" : "";
        e.firstSeen = 1700000000;
        e.duration = 600 + i % 4000;
        e.size = 10000000 + i * 1000;
        store.PutEpisode(podcast, e, true);
    }
    transaction.Commit();
}

} // namespace

void EpisodesBenchmark(const Settings& settings, Report& report) {
    const std::string label = "7 episodes";
    test::TempDir root;
    const std::string base = root.Base() + "base/";
    FillBase(base);
    QueuedEngineView events;
    PodcastLibrary library(events, StartupSwitches{.doNotCheck = true});
    if (library.ClaimBaseDirectory(base) != PodcastLibrary::Claim::Obtained) {
        report.Fail("episodes: the base directory could not be claimed");
        return;
    }
    library.Open();
    const SubscriptionPtr record = library.FindPodcast(kFeed);
    if (!record) {
        report.Fail("episodes: the podcast is not listed");
        return;
    }

    std::vector<double> open, scroll, page, perPage;
    bool ok = true;
    for (int run = 0; run < settings.runs; ++run) {
        const auto start = Clock::now();
        auto* window = new EpisodesWindow(library, record, nullptr);
        window->show();
        RunEventsUntil([&] { return window->windowHandle() && window->windowHandle()->isExposed(); },
                       30);
        window->repaint();
        QCoreApplication::processEvents();
        open.push_back(SecondsSince(start));
        ok = ok && window->Rows()->rowCount() == kEpisodes;

        // Page by page to the end, each page painted before the next.
        QScrollBar* bar = window->View()->verticalScrollBar();
        const auto scrollStart = Clock::now();
        double slowest = 0;
        int pages = 0;
        for (int value = 0; value <= bar->maximum(); value += bar->pageStep(), ++pages) {
            const auto one = Clock::now();
            bar->setValue(value);
            window->View()->viewport()->repaint();
            slowest = std::max(slowest, SecondsSince(one));
        }
        scroll.push_back(SecondsSince(scrollStart));
        perPage.push_back(scroll.back() / std::max(pages, 1));
        page.push_back(slowest);
        ok = ok && bar->maximum() > 0;
        window->close(); // deletes itself
        QCoreApplication::processEvents();
    }
    if (!ok)
        report.Fail("episodes: the window did not list every episode");
    report.Add({label, Format("open the Episodes window of %d episodes", kEpisodes),
                FormatSeconds(Median(open)), "", ListSeconds(open)});
    report.Add({label, "  scroll through the list page by page, painting each",
                FormatSeconds(Median(scroll)), "",
                "a page " + FormatSeconds(Median(perPage)) + ", slowest " + FormatSeconds(Max(page))});
    report.Check(Format("Episodes window of %d episodes opens in < 200 ms", kEpisodes),
                 FormatSeconds(Median(open)), Median(open) < 0.2);
    report.Check("a page of it scrolls and paints in < 16 ms", FormatSeconds(Median(perPage)),
                 Median(perPage) < 0.016);
}

} // namespace bench
