// The Find Podcasts window offscreen: searches answered by a loopback server
// in the directories' own JSON shapes, artwork fetched from it, subscriptions
// made through the main window's path.
#include "mainwindow/FindPodcastsWindow.h"
#include "core/library/PodcastLibrary.h"
#include "core/model/SettingsFile.h"
#include "core/util/Strings.h"
#include "mainwindow/ArtworkThumbnails.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/Commands.h"
#include "mainwindow/QueuedEngineView.h"
#include "mainwindow/ReportListView.h"
#include "mainwindow/SearchResultModel.h"
#include "platform/CacheFolder.h"
#include "support/GuiHarness.h"
#include "support/LibraryTestAccess.h"
#include "support/LoopbackServer.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

// A square picture in one colour, as PNG bytes.
std::string Png(int side, QColor colour) {
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// One result in the Apple directory's documented shape.
std::string AppleResult(const std::string& title, const std::string& feedUrl,
                        const std::string& artworkUrl, int episodes = 12) {
    std::string result = R"({"wrapperType":"track","kind":"podcast","collectionId":1,)"
                         R"("artistName":"Author of )" +
                         title + R"(","collectionName":")" + title + R"(","trackName":")" + title +
                         R"(",)";
    if (!feedUrl.empty())
        result += R"("feedUrl":")" + feedUrl + R"(",)";
    return result + R"("artworkUrl100":")" + artworkUrl + R"(","trackCount":)" +
           std::to_string(episodes) +
           R"(,"primaryGenreName":"Technology","releaseDate":"2024-05-03T10:00:00Z"})";
}

std::string AppleAnswer(const std::vector<std::string>& results) {
    std::string joined;
    for (const std::string& result : results)
        joined += (joined.empty() ? "" : ",") + result;
    return R"({"resultCount":)" + std::to_string(results.size()) + R"(,"results":[)" + joined +
           "]}";
}

class FindPodcastsTest : public testing::Test {
protected:
    FindPodcastsTest() {
        fs::create_directories(base);
        harness.SetProfileBaseDirectory(QString::fromStdString(base));
        // What the directory was asked, and its answer; started with the window.
        server.Server().Get("/search", [this](const httplib::Request& request, auto& response) {
            std::unique_lock lock(mutex);
            terms.push_back(request.get_param_value("term"));
            const std::string answer = searchAnswer;
            response.status = searchStatus;
            lock.unlock();
            if (answer == "hold")
                return server.HoldUntilStopped();
            response.set_content(answer, "application/json");
        });
    }
    ~FindPodcastsTest() override {
        window.reset();
        library.reset();
        server.Stop(); // before the members its handler uses end
    }

    // The main window on a settings file listing `urls`, shown.
    CTessarineDlg& Window(const std::vector<std::string>& urls = {}) {
        if (!started) {
            server.Start();
            started = true;
        }
        std::string settings = "<TessarineSettings><settings updatestart='0' quitcomplete='0'/>";
        for (const std::string& url : urls)
            settings += "<feed url='" + url + "'>Listed</feed>";
        WriteFile(base + kSettingsFileName, settings + "</TessarineSettings>");
        events = std::make_unique<QueuedEngineView>();
        library = std::make_unique<PodcastLibrary>(*events, StartupSwitches{});
        EXPECT_EQ(library->ClaimBaseDirectory(base), PodcastLibrary::Claim::Obtained);
        window = std::make_unique<CTessarineDlg>(*library, *events);
        window->OnInitDialog();
        window->ShowAsStarted();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }
    // "Find Podcasts..." from the File menu.
    FindPodcastsWindow& Find() {
        window->Action(ID_FIND_PODCASTS)->trigger();
        FindPodcastsWindow* find = window->FindPodcasts();
        EXPECT_NE(find, nullptr);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(find));
        return *find;
    }
    // Types `term` and presses Enter; true once the answer is shown.
    bool Search(FindPodcastsWindow& find, const QString& term) {
        QSignalSpy ended(&find, &FindPodcastsWindow::searchEnded);
        auto* field = find.findChild<QLineEdit*>("searchTerm");
        field->setText(term);
        QTest::keyClick(field, Qt::Key_Return);
        return ended.count() > 0 || ended.wait(30000);
    }
    void Answer(const std::string& body, int status = 200) {
        std::lock_guard lock(mutex);
        searchAnswer = body;
        searchStatus = status;
    }
    QString Cell(FindPodcastsWindow& find, int row, int column) {
        return find.Model()->Cell(row, column);
    }
    bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 30000); }
    bool HasArtwork(FindPodcastsWindow& find, int row) {
        return !find.Thumbnails().Thumbnail(find.Model()->ResultAt(row)->artworkUrl).isNull();
    }
    // A window showing a few rows, laid out for that size.
    void Shrink(FindPodcastsWindow& find) {
        find.resize(find.width(), 400);
        ASSERT_TRUE(WaitFor([&] { return find.height() == 400; }));
        QApplication::processEvents();
    }

    GuiHarness harness;
    std::string base = harness.root.Base() + "base/";
    LoopbackServer server; // outlives the windows: a held answer ends only with it
    ScopedEnv searchUrl{"TESSARINE_SEARCH_URL", server.Url("")};
    std::mutex mutex;
    std::vector<std::string> terms; // under mutex
    std::string searchAnswer = AppleAnswer({});
    int searchStatus = 200;
    bool started = false; // the server
    std::unique_ptr<QueuedEngineView> events;
    std::unique_ptr<PodcastLibrary> library;
    std::unique_ptr<CTessarineDlg> window;
};

} // namespace

// A search lists what the directory found in its order, marks the podcast
// listed already (in another spelling of its address) and subscribes to
// another one as the subscribe dialog does: it is listed, saved and checked.
TEST_F(FindPodcastsTest, SearchMarksSubscribedResultsAndSubscribes) {
    const std::string listed = server.Url("/listed.xml");
    server.Serve("/new.xml", "<rss><channel><title>New Show</title></channel></rss>",
                 "application/rss+xml");
    Answer(AppleAnswer(
        {AppleResult("New Show", server.Url("/new.xml"), server.Url("/a.png"), 7),
         AppleResult("No Feed", "", server.Url("/b.png")),
         AppleResult("Listed Show",
                     "HTTP://127.0.0.1:" + std::to_string(server.Port()) + "/listed.xml",
                     server.Url("/c.png"))}));
    CTessarineDlg& w = Window({listed});
    FindPodcastsWindow& find = Find();
    EXPECT_EQ(find.Results()->EmptyHint().toStdString(), LoadResString(TXT_FIND_HINT));
    EXPECT_TRUE(find.findChild<QLineEdit*>("searchTerm")->hasFocus());
    EXPECT_FALSE(find.findChild<QPushButton*>("searchButton")->isEnabled());

    ASSERT_TRUE(Search(find, "tech & talk"));
    ASSERT_EQ(find.Model()->rowCount(), 2);
    QStringList cells;
    for (int cell = 0; cell < 12; ++cell)
        cells << Cell(find, cell / 6, cell % 6);
    EXPECT_EQ(cells.join('|'), "New Show|Author of New Show|7|Technology|03.05.2024||Listed Show|"
                               "Author of Listed Show|12|Technology|03.05.2024|Subscribed");
    EXPECT_EQ(find.StatusText(), "Podcasts found at Apple Podcasts: 2");

    // The listed one cannot be subscribed to again; Enter on it does nothing.
    auto* subscribe = find.findChild<QPushButton*>("subscribeButton");
    find.Results()->SelectRow(1);
    EXPECT_FALSE(subscribe->isEnabled());
    QTest::keyClick(find.Results(), Qt::Key_Return);
    EXPECT_EQ(library->SubscriptionCount(), 1u);
    EXPECT_TRUE(harness.Told().isEmpty());

    find.Results()->SelectRow(0);
    ASSERT_TRUE(subscribe->isEnabled());
    QTest::mouseClick(subscribe, Qt::LeftButton);
    EXPECT_EQ(find.StatusText(), "Subscribed to \"New Show\".");
    EXPECT_EQ(Cell(find, 0, SearchResultModel::ColumnStatus), "Subscribed");
    EXPECT_EQ(PodcastLibraryTestAccess::Model(*library).SnapshotSubscriptions().back().values.url,
              server.Url("/new.xml"));
    EXPECT_TRUE(server.AwaitRequests([&] { return server.Hits("/new.xml") > 0; }));

    // Removed in the main window: the mark goes with it.
    w.SubscriptionList()->SelectRow(1);
    w.OnCommand(ID_REMOVE_PODCAST);
    EXPECT_TRUE(WaitFor([&] { return Cell(find, 0, SearchResultModel::ColumnStatus).isEmpty(); }));
    EXPECT_TRUE(subscribe->isEnabled());
}

// Each way a search can end says so in the window, with the directory's name;
// the results of an earlier search go.
TEST_F(FindPodcastsTest, FailuresAndEmptyAnswersAreTold) {
    Window();
    FindPodcastsWindow& find = Find();
    Answer(AppleAnswer({AppleResult("Show", server.Url("/f.xml"), server.Url("/a.png"))}));
    ASSERT_TRUE(Search(find, "show"));
    ASSERT_EQ(find.Model()->rowCount(), 1);
    const struct {
        std::string body;
        int status;
        QString told;
    } cases[] = {
        {AppleAnswer({}), 200, "Apple Podcasts found no podcast for \"nothing\"."},
        {"oops", 500, "Apple Podcasts refused the search (HTTP status 500"},
        {"<html>Moved</html>", 200,
         "Apple Podcasts answered with something that is not a search result."},
    };
    for (const auto& c : cases) {
        Answer(c.body, c.status);
        ASSERT_TRUE(Search(find, "nothing"));
        EXPECT_TRUE(find.StatusText().startsWith(c.told)) << find.StatusText().toStdString();
        EXPECT_EQ(find.Model()->rowCount(), 0);
    }
    // Nobody listens there any more.
    server.Stop();
    ASSERT_TRUE(Search(find, "offline"));
    EXPECT_TRUE(find.StatusText().startsWith("Could not reach Apple Podcasts ("))
        << find.StatusText().toStdString();
    EXPECT_TRUE(find.StatusText().endsWith("Is the computer connected to the internet?"));
}

// Closing the window ends the search under way: the next search answers for
// itself, and the window goes without waiting for a server that never answers.
TEST_F(FindPodcastsTest, ClosingEndsTheSearchUnderWay) {
    Window();
    FindPodcastsWindow& find = Find();
    Answer("hold");
    auto* field = find.findChild<QLineEdit*>("searchTerm");
    field->setText("slow");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(find.IsSearching());
    EXPECT_EQ(find.StatusText(), "Searching Apple Podcasts for \"slow\"...");
    EXPECT_TRUE(WaitFor([&] {
        std::lock_guard lock(mutex);
        return !terms.empty();
    }));
    QTest::keyClick(&find, Qt::Key_Escape);
    EXPECT_FALSE(find.isVisible());
    EXPECT_FALSE(find.IsSearching());
    EXPECT_EQ(find.StatusText(), "");

    Answer(AppleAnswer({AppleResult("Fast", server.Url("/f.xml"), "")}));
    FindPodcastsWindow& again = Find();
    EXPECT_EQ(&again, &find); // one window, opened again
    ASSERT_TRUE(Search(again, "fast"));
    ASSERT_EQ(again.Model()->rowCount(), 1);
    EXPECT_EQ(Cell(again, 0, SearchResultModel::ColumnTitle), "Fast");
    // A search still held by the server goes with the window.
    Answer("hold");
    field->setText("held");
    QTest::keyClick(field, Qt::Key_Return);
    window.reset();
}

// Artwork is fetched for the rows in view only, as they come into view, and
// kept in the cache folder for the next window; no picture leaves the row blank.
TEST_F(FindPodcastsTest, ArtworkComesForRowsInViewAndFromTheCacheNextTime) {
    const int count = 60;
    std::vector<std::string> results;
    for (int i = 0; i < count; ++i) {
        const std::string art = "/art/" + std::to_string(i) + ".png";
        server.Serve(art, i == 1 ? std::string("not a picture") : Png(i == 0 ? 600 : 100, Qt::red),
                     "image/png");
        results.push_back(AppleResult("Show " + std::to_string(i),
                                      server.Url("/f" + std::to_string(i) + ".xml"),
                                      server.Url(art)));
    }
    Answer(AppleAnswer(results));
    Window();
    FindPodcastsWindow& find = Find();
    Shrink(find);
    ASSERT_TRUE(Search(find, "show"));
    ASSERT_EQ(find.Model()->rowCount(), count);
    ASSERT_TRUE(WaitFor([&] { return HasArtwork(find, 0) && HasArtwork(find, 3); }));
    // The large one is kept small.
    const QPixmap first = find.Thumbnails().Thumbnail(find.Model()->ResultAt(0)->artworkUrl);
    EXPECT_EQ(first.width(), ArtworkThumbnails::kSize);
    // Drawn at the list's icon size, as the blank of a row without one.
    const auto icon = [&](int row) {
        return find.Model()->data(find.Model()->index(row, 0), Qt::DecorationRole).value<QIcon>();
    };
    EXPECT_EQ(icon(0).pixmap(find.Results()->iconSize()).toImage().pixel(5, 5),
              QColor(Qt::red).rgb());
    EXPECT_EQ(icon(1).pixmap(find.Results()->iconSize()).toImage().pixel(5, 5), 0u);
    const QModelIndex lastShown =
        find.Results()->indexAt(QPoint(1, find.Results()->viewport()->height() - 2));
    ASSERT_TRUE(lastShown.isValid());
    const int shown = lastShown.row() + 1;
    ASSERT_LT(shown, count - 10);
    EXPECT_FALSE(HasArtwork(find, 1));
    EXPECT_EQ(server.Hits("/art/" + std::to_string(shown + 1) + ".png"), 0);

    find.Results()->verticalScrollBar()->setValue(find.Results()->verticalScrollBar()->maximum());
    ASSERT_TRUE(WaitFor([&] { return HasArtwork(find, count - 1); }));
    EXPECT_EQ(server.Hits("/art/" + std::to_string(shown + 1) + ".png"), 0);
    EXPECT_EQ(server.Hits("/art/1.png"), 1); // what failed is not asked for again
    const std::string cached = find.Thumbnails().FileOf(server.Url("/art/0.png"));
    EXPECT_TRUE(fs::exists(cached));
    EXPECT_TRUE(cached.starts_with(ProgramCacheFolder() + "/artwork/")) << cached;

    // The next start finds them in the cache.
    window.reset();
    library.reset();
    Window();
    FindPodcastsWindow& next = Find();
    Shrink(next);
    ASSERT_TRUE(Search(next, "show"));
    ASSERT_TRUE(WaitFor([&] { return HasArtwork(next, 0) && HasArtwork(next, 3); }));
    EXPECT_EQ(server.Hits("/art/0.png") + server.Hits("/art/3.png"), 2);
}

// The Podcast Index is chosen with a key and a secret kept in the profile and
// sent with its searches; without a key the choice falls back to Apple's.
TEST_F(FindPodcastsTest, ThePodcastIndexNeedsAKeyKeptInTheProfile) {
    LoopbackServer index;
    index.Server().Get("/api/1.0/search/byterm", [&](const httplib::Request& request,
                                                     httplib::Response& response) {
        std::lock_guard lock(mutex);
        terms.push_back(request.get_param_value("q") + " " +
                        request.get_header_value("X-Auth-Key"));
        response.set_content(
            R"({"status":"true","feeds":[{"id":1,"title":"Indexed","url":")" + index.Url("/i.xml") +
                R"(","author":"Someone","image":"","artwork":"","episodeCount":3,"newestItemPubdate":1714730400,"categories":{"102":"Technology"}}],"count":1})",
            "application/json");
    });
    index.Start();
    ScopedEnv indexUrl("TESSARINE_PODCASTINDEX_URL", index.Url(""));
    Window();
    FindPodcastsWindow& find = Find();
    auto* directory = find.findChild<QComboBox*>("directory");
    ASSERT_EQ(directory->count(), 2);

    // Asked for a key; cancelled, the Apple directory stays.
    OnNextModal([](QDialog* dialog) { dialog->reject(); });
    directory->setCurrentIndex(1);
    EXPECT_EQ(directory->currentIndex(), 0);

    OnNextModal([](QDialog* dialog) {
        auto* ok = dialog->findChild<QPushButton*>("ok");
        dialog->findChild<QLineEdit*>("indexKey")->setText(" KEY123 ");
        EXPECT_FALSE(ok->isEnabled()); // not without its secret
        dialog->findChild<QLineEdit*>("indexSecret")->setText("secret");
        EXPECT_TRUE(ok->isEnabled());
        dialog->accept();
    });
    directory->setCurrentIndex(1);
    EXPECT_EQ(directory->currentIndex(), 1);
    QSettings profile("Orvendale", "Tessarine");
    EXPECT_EQ(profile.value("Search/PodcastIndexKey").toString(), "KEY123");
    EXPECT_EQ(profile.value("Search/PodcastIndexSecret").toString(), "secret");
    EXPECT_EQ(profile.value("Search/Directory").toString(), "podcastindex");

    ASSERT_TRUE(Search(find, "indexed"));
    ASSERT_EQ(find.Model()->rowCount(), 1);
    EXPECT_EQ(Cell(find, 0, SearchResultModel::ColumnTitle), "Indexed");
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(terms, std::vector<std::string>{"indexed KEY123"});
    }

    // The key forgotten: back to the Apple directory.
    OnNextModal([](QDialog* dialog) {
        dialog->findChild<QLineEdit*>("indexKey")->clear();
        dialog->findChild<QLineEdit*>("indexSecret")->clear();
        dialog->accept();
    });
    find.findChild<QPushButton*>("indexKeyButton")->click();
    EXPECT_EQ(directory->currentIndex(), 0);
    EXPECT_EQ(QSettings("Orvendale", "Tessarine").value("Search/Directory").toString(), "apple");
}
