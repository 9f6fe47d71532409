// How the lists take their changes: the download list's changes from another
// thread arrive whole and in order, and a refresh announces only the rows
// whose texts changed.
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/ReportList.h"
#include "subscriptions/Strings.h"
#include "support/GuiHarness.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

using namespace tessarine;
using namespace tessarine::test;

namespace {

QStringList RowOf(const ReportListModel& model, int row) {
    QStringList cells;
    for (int c = 0; c < model.columnCount(); ++c)
        cells << model.Cell(row, c);
    return cells;
}

ReportListModel& FourColumns(ReportListModel& model) {
    model.SetColumns({{"a", Qt::AlignLeft, 10},
                      {"b", Qt::AlignLeft, 10},
                      {"c", Qt::AlignLeft, 10},
                      {"d", Qt::AlignLeft, 10}});
    return model;
}

} // namespace

TEST(ListUpdateTest, InsertRowsEqualsOneInsertAfterAnother) {
    // Appending, inserting in the middle, and a start past the end (which
    // appends, as a single insert would).
    const std::vector<std::pair<int, int>> cases = {{2, 3}, {1, 2}, {0, 1}, {9, 2}};
    for (const auto& [at, count] : cases) {
        ReportListModel one, block;
        FourColumns(one);
        FourColumns(block);
        for (ReportListModel* m : {&one, &block}) {
            m->InsertRow(0, {"x0"});
            m->InsertRow(1, {"x1", "y1"});
        }
        std::vector<QStringList> rows;
        for (int i = 0; i < count; ++i) {
            const QStringList cells{"new" + QString::number(i), "s"};
            one.InsertRow(at + i, cells);
            rows.push_back(cells);
        }
        QSignalSpy inserted(&block, &QAbstractItemModel::rowsInserted);
        block.InsertRows(at, rows);
        ASSERT_EQ(inserted.count(), 1) << at;
        ASSERT_EQ(block.rowCount(), one.rowCount()) << at;
        for (int r = 0; r < one.rowCount(); ++r)
            EXPECT_EQ(RowOf(block, r), RowOf(one, r)) << at << " row " << r;
    }
}

TEST(ListUpdateTest, SetRowsAnnouncesOnlyChangedRows) {
    ReportListModel model;
    model.SetColumns({{"a", Qt::AlignLeft, 10}, {"b", Qt::AlignLeft, 10}});
    for (int r = 0; r < 6; ++r)
        model.InsertRow(r, {"n" + QString::number(r), "s"});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    // Nothing differs: nothing is announced.
    std::vector<QStringList> rows;
    for (int r = 0; r < 6; ++r)
        rows.push_back({"n" + QString::number(r), "s"});
    model.SetRows(rows);
    EXPECT_EQ(changed.count(), 0);

    // Rows 1, 2 and 5 change: two announcements, 1..2 and 5..5, whole rows.
    rows[1][1] = "t";
    rows[2][0] = "m2";
    rows[5][1] = "u";
    model.SetRows(rows);
    ASSERT_EQ(changed.count(), 2);
    auto span = [&](int i) {
        const auto from = changed.at(i).at(0).value<QModelIndex>();
        const auto to = changed.at(i).at(1).value<QModelIndex>();
        return std::vector<int>{from.row(), from.column(), to.row(), to.column()};
    };
    EXPECT_EQ(span(0), (std::vector<int>{1, 0, 2, 1}));
    EXPECT_EQ(span(1), (std::vector<int>{5, 0, 5, 1}));
    for (int r = 0; r < 6; ++r)
        EXPECT_EQ(RowOf(model, r), rows[r]) << r;

    // More rows than the list has: the rest is ignored.
    rows.push_back({"extra", "x"});
    rows[0][0] = "first";
    model.SetRows(rows);
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.Cell(0, 0), "first");
}

TEST(ListUpdateTest, DownloadRowsFromAnotherThreadArriveWholeAndInOrder) {
    GuiHarness harness;
    harness.SetProfileBaseDirectory(QString::fromStdString(harness.root.Base()));
    CTessarineDlg w;
    w.OnInitDialog();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));

    // The engine's order of calls: a row, then its cells, while later rows
    // are already being added; each cell changes several times.
    constexpr int kRows = 3000;
    auto expected = [](int r) {
        return QStringList{"f" + QString::number(r) + ".mp3", QString::number(r % 7) + ".0MB",
                           QString::number(r % 100) + "%", r % 3 == 0 ? "Completed" : "Waiting"};
    };
    std::thread worker([&] {
        for (int r = 0; r < kRows; ++r) {
            w.InsertDownloadRow(static_cast<size_t>(r),
                                {"f" + std::to_string(r) + ".mp3", "", "0%", "Waiting"});
            if (r % 3 == 0) {
                w.SetDownloadCell(static_cast<size_t>(r), ColumnStatus, "Downloading");
                w.SetDownloadCell(static_cast<size_t>(r), ColumnStatus, "Completed");
            }
            w.SetDownloadCell(static_cast<size_t>(r), ColumnSize,
                              std::to_string(r % 7) + ".0MB");
            for (int p = 0; p <= r % 100; p += 50)
                w.SetDownloadCell(static_cast<size_t>(r), ColumnProgress, std::to_string(p) + "%");
            w.SetDownloadCell(static_cast<size_t>(r), ColumnProgress, std::to_string(r % 100) + "%");
            if (r % 500 == 0)
                std::this_thread::yield();
        }
    });
    // Let part of it arrive through the event loop, then read the list at
    // once after the last call returned: what is still on its way is
    // applied first.
    QTest::qWait(5);
    worker.join();
    ReportListModel* rows = w.DownloadList()->Model();
    ASSERT_EQ(rows->rowCount(), kRows);
    for (int r = 0; r < kRows; ++r)
        ASSERT_EQ(RowOf(*rows, r), expected(r)) << r;

    // A change made on the GUI thread itself is there at once.
    w.InsertDownloadRow(kRows, {"last.mp3", "", "0%", "Waiting"});
    EXPECT_EQ(rows->rowCount(), kRows + 1);
    EXPECT_EQ(rows->Cell(kRows, 0), "last.mp3");
}

TEST(ListUpdateTest, RefreshShowsEveryChangedValueAndTheLanguageInUse) {
    GuiHarness harness;
    harness.SetProfileBaseDirectory(QString::fromStdString(harness.root.Base()));
    CTessarineDlg w;
    w.OnInitDialog();
    SubscriptionPtr a = w.AddSubscription("http://127.0.0.1:1/a.xml", "Alpha");
    SubscriptionPtr b = w.AddSubscription("http://127.0.0.1:1/b.xml", "Beta");
    ASSERT_TRUE(a && b);
    auto set = [&](const SubscriptionPtr& s, const std::string& name, OleDateTime date,
                   int32_t status) {
        std::lock_guard lock(w.Model().mutex);
        s->name = name;
        s->lastChecked = date;
        s->status = status;
    };
    const OleDateTime date = OleDateTime::FromFields({2009, 1, 28, 13, 24, 41});
    set(a, "Alpha", date, Checking);
    set(b, "Beta", OleDateTime(), Idle);
    w.RefreshSubscriptionRows();
    ReportListModel* rows = w.SubscriptionList()->Model();
    EXPECT_EQ(RowOf(*rows, 0), (QStringList{"Alpha", "28.01.2009 13:24", "Checking..."}));
    EXPECT_EQ(RowOf(*rows, 1), (QStringList{"Beta", "Invalid DateTime", ""}));

    // Each value on its own, including a date that differs by one minute.
    const std::vector<std::tuple<std::string, OleDateTime, int32_t, QStringList>> steps = {
        {"Alpha", date, NoNewItems, {"Alpha", "28.01.2009 13:24", "No new items"}},
        {"Alpha 2", date, NoNewItems, {"Alpha 2", "28.01.2009 13:24", "No new items"}},
        {"Alpha 2", OleDateTime::FromFields({2009, 1, 28, 13, 25, 0}), NoNewItems,
         {"Alpha 2", "28.01.2009 13:25", "No new items"}},
        {"Alpha 2", OleDateTime(), NoNewItems, {"Alpha 2", "Invalid DateTime", "No new items"}},
        {"", OleDateTime(), Error, {"", "Invalid DateTime", "Error"}},
    };
    for (const auto& [name, when, status, shown] : steps) {
        set(a, name, when, status);
        w.RefreshSubscriptionRows();
        EXPECT_EQ(RowOf(*rows, 0), shown);
        EXPECT_EQ(RowOf(*rows, 1), (QStringList{"Beta", "Invalid DateTime", ""}));
    }

    // Nothing changed but the language: the statuses follow it.
    set(a, "Alpha", date, NoNewItems);
    w.RefreshSubscriptionRows();
    SetLanguage(Language::German);
    w.RefreshSubscriptionRows();
    SetLanguage(Language::English);
    EXPECT_EQ(RowOf(*rows, 0), (QStringList{"Alpha", "28.01.2009 13:24", "Keine neuen Einträge"}));

    // After a removal every row shows its own record again.
    w.SubscriptionList()->SelectRow(0);
    w.OnRemovePodcast();
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_EQ(RowOf(*rows, 0), (QStringList{"Beta", "Invalid DateTime", ""}));
}
