// The real main window's resizing and splitter bar, driven by real events.
#include "controls/CSplitterBar.h"
#include "mainwindow/CTessarineDlg.h"
#include "mainwindow/ReportList.h"
#include "support/GuiHarness.h"

#include <QLabel>
#include <QSizeGrip>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;
using namespace tessarine::test;

namespace {

class LayoutTest : public testing::Test {
protected:
    LayoutTest() {
        harness.SetProfileBaseDirectory(QString::fromStdString(harness.root.Base()));
        w.OnInitDialog();
        w.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    }

    QRect Geometry(int id) { return w.FindControl(id)->geometry(); }

    // Drags the bar's centre to `y` (window coordinates) through real mouse events.
    void DragBarTo(int y, int x = -1) {
        CSplitterBar* bar = w.SplitterBar();
        const QPoint start(bar->width() / 2, bar->height() / 2);
        QTest::mousePress(bar, Qt::LeftButton, {}, start);
        const QPoint target(x < 0 ? bar->geometry().center().x() : x, y);
        QTest::mouseMove(bar, bar->mapFromParent(target));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromParent(target));
    }

    GuiHarness harness;
    CTessarineDlg w;
};

} // namespace

TEST_F(LayoutTest, BarLiesOverThePlaceholder) {
    const QRect placeholder = w.Placeholder()->geometry();
    EXPECT_FALSE(w.Placeholder()->isVisible());
    EXPECT_EQ(w.SplitterBar()->geometry(), placeholder.adjusted(0, 4, 0, -4));
    EXPECT_EQ(w.SplitterBar()->Orientation(), CSplitterBar::Horizontal);
    EXPECT_EQ(w.SplitterBar()->cursor().shape(), Qt::SizeVerCursor);
    // The range follows the window height.
    const int top = w.ClientRect().top();
    EXPECT_EQ(w.SplitterBar()->MinPos(), top + 100);
    EXPECT_EQ(w.SplitterBar()->MaxPos(), top + w.frameGeometry().height() - 100);
}

TEST_F(LayoutTest, ResizingStretchesByAnchors) {
    const QRect upper = Geometry(IDC_SUBSCRIPTION_LIST), lower = Geometry(IDC_DOWNLOAD_LIST);
    const QRect label1 = Geometry(IDC_LABEL_SUBSCRIBED), label2 = Geometry(IDC_LABEL_DOWNLOADS);
    const QRect bar = w.SplitterBar()->geometry();
    w.resize(w.width() + 120, w.height() + 80);
    QTest::qWait(20);
    EXPECT_EQ(Geometry(IDC_SUBSCRIPTION_LIST), upper.adjusted(0, 0, 120, 0));
    EXPECT_EQ(Geometry(IDC_DOWNLOAD_LIST), lower.adjusted(0, 0, 120, 80));
    EXPECT_EQ(Geometry(IDC_LABEL_SUBSCRIBED), label1);
    EXPECT_EQ(Geometry(IDC_LABEL_DOWNLOADS), label2);
    EXPECT_EQ(w.SplitterBar()->geometry(), bar.adjusted(0, 0, 120, 0));
    EXPECT_EQ(w.SplitterBar()->MaxPos(), w.ClientRect().top() + w.frameGeometry().height() - 100);
}

TEST_F(LayoutTest, MinimumSizeIsTheInitialSize) {
    const QSize initial = w.size();
    w.resize(initial.width() - 100, initial.height() - 100);
    QTest::qWait(20);
    EXPECT_EQ(w.size(), initial);
}

TEST_F(LayoutTest, GripHidesWhileMaximized) {
    ASSERT_NE(w.SizeGrip(), nullptr);
    EXPECT_TRUE(w.SizeGrip()->isVisible());
    w.showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.SizeGrip()->isVisible(); }, 10000));
    w.showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.SizeGrip()->isVisible(); }, 10000));
    EXPECT_EQ(w.GripShowCount(), 1);
}

TEST_F(LayoutTest, DraggingTheBarMovesTheBoundary) {
    const QRect upper = Geometry(IDC_SUBSCRIPTION_LIST), lower = Geometry(IDC_DOWNLOAD_LIST);
    const QRect label1 = Geometry(IDC_LABEL_SUBSCRIBED), label2 = Geometry(IDC_LABEL_DOWNLOADS);
    const QRect placeholder = w.Placeholder()->geometry();
    const int centre = w.SplitterBar()->Centre();

    DragBarTo(centre + 30, 40); // sideways as well: only the height counts
    EXPECT_EQ(Geometry(IDC_SUBSCRIPTION_LIST), upper.adjusted(0, 0, 0, 30));
    EXPECT_EQ(Geometry(IDC_DOWNLOAD_LIST), lower.adjusted(0, 30, 0, 0));
    EXPECT_EQ(Geometry(IDC_LABEL_DOWNLOADS), label2.translated(0, 30));
    EXPECT_EQ(Geometry(IDC_LABEL_SUBSCRIBED), label1);
    EXPECT_EQ(w.Placeholder()->geometry(), placeholder.translated(0, 30));
    EXPECT_EQ(w.SplitterBar()->geometry(), placeholder.translated(0, 30).adjusted(0, 4, 0, -4));

    // A later resize keeps the new boundary: the lower list takes the change.
    w.resize(w.width(), w.height() + 60);
    QTest::qWait(20);
    EXPECT_EQ(Geometry(IDC_SUBSCRIPTION_LIST), upper.adjusted(0, 0, 0, 30));
    EXPECT_EQ(Geometry(IDC_DOWNLOAD_LIST), lower.adjusted(0, 30, 0, 60));

    // A click without a move changes nothing.
    const QRect before = Geometry(IDC_SUBSCRIPTION_LIST);
    QTest::mouseClick(w.SplitterBar(), Qt::LeftButton, {},
                      QPoint(w.SplitterBar()->width() / 2, w.SplitterBar()->height() / 2));
    EXPECT_EQ(Geometry(IDC_SUBSCRIPTION_LIST), before);
}

TEST_F(LayoutTest, DragIsClampedToTheRange) {
    DragBarTo(0); // far above the upper limit
    EXPECT_EQ(w.SplitterBar()->Centre(), w.SplitterBar()->MinPos());
    const int upperHeight = Geometry(IDC_SUBSCRIPTION_LIST).height();
    DragBarTo(5000); // far below the lower limit
    EXPECT_EQ(w.SplitterBar()->Centre(), w.SplitterBar()->MaxPos());
    EXPECT_EQ(Geometry(IDC_SUBSCRIPTION_LIST).height(),
              upperHeight + w.SplitterBar()->MaxPos() - w.SplitterBar()->MinPos());
    // The lists never overlap the bar.
    EXPECT_LE(Geometry(IDC_SUBSCRIPTION_LIST).bottom(), w.SplitterBar()->geometry().top());
}
