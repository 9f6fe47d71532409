// The splitter bar driven by real mouse events.
#include "controls/CSplitterBar.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;

namespace {

// A horizontal bar across a shown 400 x 400 window; its centre line is y = 102.
class SplitterBarTest : public testing::Test {
protected:
    void SetUp() override {
        parent.resize(400, 400);
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
        ASSERT_TRUE(bar->Create(QRect(10, 100, 300, 12), &parent, 1020));
        QObject::connect(bar, &CSplitterBar::notify, [this](const SplitterNotify& n) {
            EXPECT_EQ(n.hwndFrom, bar);
            EXPECT_EQ(n.idFrom, 1020);
            EXPECT_EQ(n.code, SPLITTER_MOVED);
            deltas.push_back(n.delta);
        });
    }
    QPoint Centre() const { return QPoint(bar->width() / 2, bar->height() / 2); }
    // Presses at the bar's centre, moves through `path` (parent pixels), releases at its end.
    void Drag(const std::vector<QPoint>& path) {
        QPoint at = Centre();
        QTest::mousePress(bar, Qt::LeftButton, {}, at);
        for (const QPoint& p : path)
            QTest::mouseMove(bar, at = bar->mapFromParent(p));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, at);
    }
    QWidget parent;
    CSplitterBar* bar = new CSplitterBar;
    std::vector<int> deltas;
};

} // namespace

TEST_F(SplitterBarTest, EachDragReportsItsOwnDeltaClampedToTheRange) {
    bar->SetRange(60, 250);
    Drag({QPoint(290, 102), QPoint(15, 102)}); // sideways only, then a plain click: no move
    QTest::mouseClick(bar, Qt::LeftButton, {}, Centre());
    EXPECT_EQ(bar->geometry(), QRect(10, 100, 300, 5));
    Drag({QPoint(150, 200), QPoint(150, 10)}); // from 102 past the upper limit
    EXPECT_EQ(bar->geometry(), QRect(10, 58, 300, 5));
    Drag({QPoint(20, 390)}); // from 60 past the lower limit
    EXPECT_EQ(bar->geometry(), QRect(10, 248, 300, 5));
    bar->SetRange(300, 200); // an inverted range: the maximum wins
    Drag({QPoint(150, 50)});
    EXPECT_EQ(deltas, (std::vector<int>{0, 0, -42, 190, -50}));
}

TEST_F(SplitterBarTest, DragLineShowsWhileDraggingAndLeavesNoTrace) {
    bar->SetRange(50, 300);
    const QImage before = parent.grab().toImage();
    QTest::mousePress(bar, Qt::LeftButton, {}, Centre());
    QTest::mouseMove(bar, bar->mapFromParent(QPoint(100, 200)));
    EXPECT_EQ(parent.grab().toImage().pixelColor(150, 199), QColor(200, 200, 200));
    QTest::mouseMove(bar, Centre());
    QTest::mouseRelease(bar, Qt::LeftButton, {}, Centre());
    EXPECT_EQ(parent.grab().toImage(), before);
}
