// The splitter bar driven by real mouse events, and a small dialog laid out
// like the main window to show how an owner moves its lists with the bar.
#include "controls/CAnchoredDialog.h"
#include "controls/CSplitterBar.h"
#include "controls/DialogUnits.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace tessarine;

namespace {

// The pointer position in the bar that maps onto the bar's centre.
QPoint CentreInBar(const CSplitterBar& bar) {
    return QPoint(bar.width() / 2, bar.height() / 2);
}

// Presses at the bar's centre, moves through the given points (parent
// coordinates) and releases at the last one.
void Drag(CSplitterBar& bar, const std::vector<QPoint>& path) {
    QTest::mousePress(&bar, Qt::LeftButton, {}, CentreInBar(bar));
    QPoint last = CentreInBar(bar);
    for (const QPoint& p : path) {
        last = bar.mapFromParent(p);
        QTest::mouseMove(&bar, last);
    }
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, last);
}

class SplitterBarTest : public testing::Test {
protected:
    void SetUp() override {
        parent_.resize(400, 400);
        parent_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent_));
        bar_ = new CSplitterBar;
        ASSERT_TRUE(bar_->Create(QRect(10, 100, 300, 12), &parent_, 1020));
        QObject::connect(bar_, &CSplitterBar::notify,
                         [this](const SplitterNotify& n) { notes_.push_back(n); });
    }

    QWidget parent_;
    CSplitterBar* bar_ = nullptr;
    std::vector<SplitterNotify> notes_;
};

} // namespace

TEST(SplitterBar, CreateTakesOrientationFromShapeAndPinsTheRange) {
    struct Case {
        QRect rect;
        int orientation;
        QRect geometry;
        int centre;
        Qt::CursorShape cursor;
    };
    const Case cases[] = {
        {QRect(10, 100, 300, 12), CSplitterBar::Horizontal, QRect(10, 100, 300, 5), 102, Qt::SizeVerCursor},
        {QRect(100, 10, 12, 300), CSplitterBar::Vertical, QRect(100, 10, 5, 300), 102, Qt::SizeHorCursor},
        {QRect(40, 41, 20, 20), CSplitterBar::Horizontal, QRect(40, 41, 20, 5), 43, Qt::SizeVerCursor},
    };
    QWidget parent;
    for (const Case& c : cases) {
        CSplitterBar bar;
        EXPECT_EQ(bar.MinPos(), -1);
        EXPECT_EQ(bar.MaxPos(), -1);
        ASSERT_TRUE(bar.Create(c.rect, &parent, 5));
        EXPECT_EQ(bar.Orientation(), c.orientation);
        EXPECT_EQ(bar.geometry(), c.geometry);
        EXPECT_EQ(bar.MinPos(), c.centre);
        EXPECT_EQ(bar.MaxPos(), c.centre);
        EXPECT_EQ(bar.cursor().shape(), c.cursor);
        EXPECT_EQ(CAnchoredDialog::ControlId(&bar), 5);
        EXPECT_FALSE(bar.IsDragging());
    }
    CSplitterBar orphan;
    EXPECT_FALSE(orphan.Create(QRect(0, 0, 50, 10), nullptr, 1));
}

TEST_F(SplitterBarTest, SetOrientationAndRanges) {
    EXPECT_EQ(bar_->SetOrientation(CSplitterBar::Vertical), CSplitterBar::Horizontal);
    EXPECT_EQ(bar_->cursor().shape(), Qt::SizeHorCursor);
    EXPECT_EQ(bar_->SetOrientation(CSplitterBar::Horizontal), CSplitterBar::Vertical);

    bar_->SetRange(30, 40, -1); // around the centre, 102
    EXPECT_EQ(bar_->MinPos(), 72);
    EXPECT_EQ(bar_->MaxPos(), 142);
    bar_->SetRange(30, 40, 200);
    EXPECT_EQ(bar_->MinPos(), 170);
    EXPECT_EQ(bar_->MaxPos(), 240);
    bar_->SetRange(5, 9);
    EXPECT_EQ(bar_->MinPos(), 5);
    EXPECT_EQ(bar_->MaxPos(), 9);
}

TEST_F(SplitterBarTest, DragIsHeldInTheRangeAndReportsTheClampedDelta) {
    bar_->SetRange(60, 250);
    QTest::mousePress(bar_, Qt::LeftButton, {}, CentreInBar(*bar_));
    EXPECT_TRUE(bar_->IsDragging());
    EXPECT_EQ(bar_->DragPos().y(), 102);
    struct Step {
        QPoint to;
        QPoint clamped;
    };
    const Step steps[] = {
        {QPoint(150, 10), QPoint(150, 60)},   // above the range
        {QPoint(150, 390), QPoint(150, 250)}, // below it
        {QPoint(20, 200), QPoint(60, 200)},   // x is held in the range as well
        {QPoint(150, 300), QPoint(150, 250)},
    };
    for (const Step& s : steps) {
        QTest::mouseMove(bar_, bar_->mapFromParent(s.to));
        EXPECT_EQ(bar_->DragPos(), s.clamped);
    }
    EXPECT_TRUE(notes_.empty()); // nothing is reported before the release
    QTest::mouseRelease(bar_, Qt::LeftButton, {}, bar_->mapFromParent(QPoint(150, 300)));

    EXPECT_FALSE(bar_->IsDragging());
    ASSERT_EQ(notes_.size(), 1u);
    EXPECT_EQ(notes_[0].hwndFrom, bar_);
    EXPECT_EQ(notes_[0].idFrom, 1020);
    EXPECT_EQ(notes_[0].code, SPLITTER_MOVED);
    EXPECT_EQ(notes_[0].delta, 148);
    EXPECT_EQ(bar_->geometry(), QRect(10, 248, 300, 5)); // centre on the drop point
}

TEST_F(SplitterBarTest, InvertedRangeLetsTheMaximumWin) {
    bar_->SetRange(300, 200);
    Drag(*bar_, {QPoint(150, 50)});
    EXPECT_EQ(bar_->DragPos(), QPoint(200, 200));
    Drag(*bar_, {QPoint(150, 350)});
    ASSERT_EQ(notes_.size(), 2u);
    EXPECT_EQ(notes_[0].delta, 98);
    EXPECT_EQ(notes_[1].delta, 0); // already there
}

TEST_F(SplitterBarTest, SidewaysMoveAndPlainClickMoveNothing) {
    bar_->SetRange(50, 300);
    Drag(*bar_, {QPoint(290, 102), QPoint(15, 102)});
    QTest::mouseClick(bar_, Qt::LeftButton, {}, CentreInBar(*bar_));
    ASSERT_EQ(notes_.size(), 2u);
    EXPECT_EQ(notes_[0].delta, 0);
    EXPECT_EQ(notes_[1].delta, 0);
    EXPECT_EQ(bar_->geometry(), QRect(10, 100, 300, 5));
}

TEST_F(SplitterBarTest, EachDragReportsItsOwnDelta) {
    bar_->SetRange(50, 300);
    Drag(*bar_, {QPoint(100, 120), QPoint(100, 132)});
    Drag(*bar_, {QPoint(100, 122)});
    ASSERT_EQ(notes_.size(), 2u);
    EXPECT_EQ(notes_[0].delta, 30);
    EXPECT_EQ(notes_[1].delta, -10);
    EXPECT_EQ(bar_->geometry(), QRect(10, 120, 300, 5));
}

TEST_F(SplitterBarTest, VerticalBarMovesAlongX) {
    CSplitterBar bar;
    ASSERT_TRUE(bar.Create(QRect(200, 10, 8, 300), &parent_, 7));
    bar.SetRange(100, 100, -1); // centre 202
    std::vector<int> deltas;
    QObject::connect(&bar, &CSplitterBar::notify, [&](const SplitterNotify& n) { deltas.push_back(n.delta); });
    Drag(bar, {QPoint(260, 380)});  // y is ignored for the move
    Drag(bar, {QPoint(10, 20)});    // past the lower limit
    ASSERT_EQ(deltas.size(), 2u);
    EXPECT_EQ(deltas[0], 58);
    EXPECT_EQ(deltas[1], -158);
    EXPECT_EQ(bar.geometry(), QRect(100, 10, 5, 300));
}

TEST_F(SplitterBarTest, DragLineShowsDuringTheDragAndLeavesNoTrace) {
    bar_->SetRange(50, 300);
    const QImage before = parent_.grab().toImage();
    QTest::mousePress(bar_, Qt::LeftButton, {}, CentreInBar(*bar_));
    QTest::mouseMove(bar_, bar_->mapFromParent(QPoint(100, 200)));

    const QImage during = parent_.grab().toImage();
    const QColor line(200, 200, 200);
    for (int x : {10, 150, 309}) {
        EXPECT_EQ(during.pixelColor(x, 199), line) << x;
        EXPECT_EQ(during.pixelColor(x, 201), line) << x;
        EXPECT_EQ(during.pixelColor(x, 200), before.pixelColor(x, 200)) << x;
    }
    EXPECT_EQ(during.pixelColor(9, 199), before.pixelColor(9, 199)); // only as long as the bar
    EXPECT_EQ(during.pixelColor(310, 199), before.pixelColor(310, 199));

    // Back to the start and released: the window looks as before.
    QTest::mouseMove(bar_, CentreInBar(*bar_));
    QTest::mouseRelease(bar_, Qt::LeftButton, {}, CentreInBar(*bar_));
    EXPECT_EQ(parent_.grab().toImage(), before);
    EXPECT_EQ(parent_.findChild<QWidget*>(QStringLiteral("SplitterDragOverlay")), nullptr);
}

TEST_F(SplitterBarTest, PaintsRaisedFrameAroundFilledRectangle) {
    const QImage image = bar_->grab().toImage();
    const QRgb light = bar_->palette().color(QPalette::Light).rgb();
    const QRgb dark = bar_->palette().color(QPalette::Dark).rgb();
    const QRgb outline = qRgb(200, 200, 200);
    const QRgb fill = qRgb(200, 220, 220);
    struct Pixel {
        int x, y;
        QRgb colour;
    };
    const Pixel pixels[] = {
        {0, 0, light},     {150, 0, light},     {0, 3, light},   // top and left edges
        {299, 0, dark},    {299, 4, dark},      {150, 4, dark},  // right and bottom edges
        {0, 4, dark},      {1, 1, outline},     {150, 3, outline}, {298, 2, outline},
        {2, 2, fill},      {297, 2, fill},
    };
    for (const Pixel& p : pixels)
        EXPECT_EQ(image.pixel(p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST(SplitterBar, AdjustHeightAndOffsetWindowWorkInParentCoordinates) {
    QWidget parent;
    struct Case {
        int dy;
        int mode; // 0: OffsetWindow
        QRect expected;
    };
    const Case cases[] = {
        {10, CSplitterBar::AdjustBottom, QRect(5, 50, 100, 50)},
        {-15, CSplitterBar::AdjustBottom, QRect(5, 50, 100, 25)},
        {-60, CSplitterBar::AdjustBottom, QRect(5, 50, 100, 0)}, // never a negative height
        {10, CSplitterBar::AdjustTop, QRect(5, 40, 100, 50)},
        {-15, CSplitterBar::AdjustTop, QRect(5, 65, 100, 25)},
        {-60, CSplitterBar::AdjustTop, QRect(5, 90, 100, 0)},
        {10, 2, QRect(5, 50, 100, 40)}, // unknown mode: nothing
        {-12, 0, QRect(5, 38, 100, 40)},
    };
    for (const Case& c : cases) {
        QWidget child(&parent);
        child.setGeometry(5, 50, 100, 40);
        if (c.mode == 0)
            CSplitterBar::OffsetWindow(&child, c.dy);
        else
            CSplitterBar::AdjustHeight(&child, c.dy, c.mode);
        EXPECT_EQ(child.geometry(), c.expected) << c.dy << " mode " << c.mode;
    }
    QWidget topLevel;
    topLevel.setGeometry(5, 50, 100, 40);
    CSplitterBar::AdjustHeight(&topLevel, 10, CSplitterBar::AdjustBottom);
    CSplitterBar::OffsetWindow(&topLevel, 10);
    EXPECT_EQ(topLevel.geometry(), QRect(5, 50, 100, 40));
}

namespace {

enum : int {
    IDC_DOWNLOADS = 1000,
    IDC_SUBSCRIPTIONS = 1001,
    IDC_SUBSCRIPTIONS_LABEL = 1009,
    IDC_DOWNLOADS_LABEL = 1010,
    IDC_SPLITTER = 1020,
};

// Laid out like the main window: a list above and one below the bar, each
// under its label, and a hidden placeholder marking where the bar belongs.
class MiniMainWindow : public CAnchoredDialog {
public:
    MiniMainWindow() {
        const DialogUnits du(this);
        resize(du.Size(362, 233));
        subscriptions = AddControl(new QListWidget(this), IDC_SUBSCRIPTIONS, du.Rect(7, 17, 348, 85));
        downloads = AddControl(new QListWidget(this), IDC_DOWNLOADS, du.Rect(7, 124, 348, 102));
        subscriptionsLabel = AddControl(new QLabel(this), IDC_SUBSCRIPTIONS_LABEL, du.Rect(7, 7, 348, 8));
        downloadsLabel = AddControl(new QLabel(this), IDC_DOWNLOADS_LABEL, du.Rect(7, 113, 348, 8));
        placeholder = AddControl(new QLabel(this), IDC_SPLITTER, du.Rect(7, 104, 348, 8));
        placeholder->hide();
        AnchorLists();
        bar = new CSplitterBar;
        bar->Create(placeholder->geometry(), this, IDC_SPLITTER);
        bar->SetOrientation(CSplitterBar::Horizontal);
        bar->SetRange(100, 100, -1);
        QObject::connect(bar, &CSplitterBar::notify, bar, [this](const SplitterNotify& n) {
            if (n.code == SPLITTER_MOVED && n.idFrom == IDC_SPLITTER)
                ShiftListBoundary(n.delta);
        });
    }

    void ShiftListBoundary(int delta) {
        CSplitterBar::AdjustHeight(subscriptions, delta, CSplitterBar::AdjustBottom);
        CSplitterBar::AdjustHeight(downloads, -delta, CSplitterBar::AdjustTop);
        CSplitterBar::OffsetWindow(downloadsLabel, delta);
        CSplitterBar::OffsetWindow(placeholder, delta);
        for (int id : {IDC_DOWNLOADS, IDC_SUBSCRIPTIONS, IDC_SUBSCRIPTIONS_LABEL, IDC_DOWNLOADS_LABEL,
                       IDC_SPLITTER})
            UnanchorControl(id);
        AnchorLists();
        LayBarOverPlaceholder();
        update();
    }

    QListWidget* subscriptions = nullptr;
    QListWidget* downloads = nullptr;
    QLabel* subscriptionsLabel = nullptr;
    QLabel* downloadsLabel = nullptr;
    QLabel* placeholder = nullptr;
    CSplitterBar* bar = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        CAnchoredDialog::resizeEvent(event);
        if (bar == nullptr)
            return;
        LayBarOverPlaceholder();
        bar->SetRange(100, height() - 100);
    }

private:
    template <typename W>
    static W* AddControl(W* control, int id, const QRect& rect) {
        SetControlId(control, id);
        control->setGeometry(rect);
        return control;
    }

    void AnchorLists() {
        AnchorControl(downloads, AnchorTopLeft, AnchorBottomRight);
        AnchorControl(subscriptions, AnchorTopLeft, AnchorTopRight);
        AnchorControl(subscriptionsLabel, AnchorTopLeft, AnchorTopLeft);
        AnchorControl(downloadsLabel, AnchorTopLeft, AnchorTopLeft);
        AnchorControl(FindControl(IDC_SPLITTER), AnchorTopLeft, AnchorTopRight);
    }

    void LayBarOverPlaceholder() {
        bar->setGeometry(placeholder->geometry().adjusted(0, 4, 0, -4));
    }
};

struct Snapshot {
    QRect subscriptions, downloads, subscriptionsLabel, downloadsLabel, placeholder;
    explicit Snapshot(const MiniMainWindow& w)
        : subscriptions(w.subscriptions->geometry()), downloads(w.downloads->geometry()),
          subscriptionsLabel(w.subscriptionsLabel->geometry()), downloadsLabel(w.downloadsLabel->geometry()),
          placeholder(w.placeholder->geometry()) {}
};

} // namespace

TEST(SplitterInMainWindowLayout, DragMovesTheBoundaryAndResizeKeepsIt) {
    MiniMainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The placeholder, not the bar, carries the layout registration of 1020.
    ASSERT_EQ(window.FindControl(IDC_SPLITTER), window.placeholder);
    ASSERT_EQ(window.bar->geometry(), window.placeholder->geometry().adjusted(0, 4, 0, -4));
    ASSERT_EQ(window.bar->MinPos(), 100);
    ASSERT_EQ(window.bar->MaxPos(), window.height() - 100);

    const int delta = 25;
    const Snapshot before(window);
    std::vector<int> deltas;
    QObject::connect(window.bar, &CSplitterBar::notify,
                     [&](const SplitterNotify& n) { deltas.push_back(n.delta); });
    Drag(*window.bar, {QPoint(50, window.bar->Centre() + delta)});

    ASSERT_EQ(deltas, std::vector<int>{delta});
    const Snapshot dragged(window);
    EXPECT_EQ(dragged.subscriptions, before.subscriptions.adjusted(0, 0, 0, delta));
    EXPECT_EQ(dragged.downloads, before.downloads.adjusted(0, delta, 0, 0));
    EXPECT_EQ(dragged.downloadsLabel, before.downloadsLabel.translated(0, delta));
    EXPECT_EQ(dragged.placeholder, before.placeholder.translated(0, delta));
    EXPECT_EQ(dragged.subscriptionsLabel, before.subscriptionsLabel);
    EXPECT_EQ(window.bar->geometry(), dragged.placeholder.adjusted(0, 4, 0, -4));

    // Wider and taller: the upper list keeps its new height, the lower one
    // takes the extra height.
    window.resize(window.width() + 40, window.height() + 60);
    const Snapshot resized(window);
    EXPECT_EQ(resized.subscriptions, dragged.subscriptions.adjusted(0, 0, 40, 0));
    EXPECT_EQ(resized.downloads, dragged.downloads.adjusted(0, 0, 40, 60));
    EXPECT_EQ(resized.placeholder, dragged.placeholder.adjusted(0, 0, 40, 0));
    EXPECT_EQ(resized.downloadsLabel, dragged.downloadsLabel);
    EXPECT_EQ(resized.subscriptionsLabel, dragged.subscriptionsLabel);
    EXPECT_EQ(window.bar->geometry(), resized.placeholder.adjusted(0, 4, 0, -4));
    EXPECT_EQ(window.bar->MaxPos(), window.height() - 100);

    // A plain click re-registers everything and moves nothing.
    QTest::mouseClick(window.bar, Qt::LeftButton, {}, CentreInBar(*window.bar));
    EXPECT_EQ(deltas.back(), 0);
    const Snapshot clicked(window);
    EXPECT_EQ(clicked.subscriptions, resized.subscriptions);
    EXPECT_EQ(clicked.downloads, resized.downloads);
    EXPECT_EQ(clicked.placeholder, resized.placeholder);
}
