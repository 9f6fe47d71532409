// The anchored dialog: anchor arithmetic, registration bookkeeping and the size grip.
#include "controls/CAnchoredDialog.h"

#include <QLabel>
#include <QSizeGrip>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;

namespace {

// Shown with a 401 x 281 client area starting at y = 20 (the menu bar's
// margin), so resizes take the real path. Rectangles are in dialog pixels.
class AnchoredDialogTest : public testing::Test {
protected:
    void SetUp() override {
        dialog.setContentsMargins(0, 20, 0, 0);
        dialog.resize(401, 301);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    QLabel* Add(int id, const QRect& rect, Anchor topLeft, Anchor bottomRight) {
        auto* control = new QLabel(&dialog);
        CAnchoredDialog::SetControlId(control, id);
        control->setGeometry(rect);
        dialog.AnchorControl(control, topLeft, bottomRight);
        return control;
    }
    CAnchoredDialog dialog;
};

} // namespace

TEST_F(AnchoredDialogTest, AnchorsKeepMarginsWithTruncatingArithmetic) {
    // Client 401 x 281 -> 451 x 311. Percentages of odd sizes truncate toward
    // zero: 50% of 401 is 200, of 451 is 225; -1% of 401 is -4, of 311 is -3.
    const struct {
        Anchor topLeft, bottomRight;
        QRect expected;
    } cases[] = {
        {AnchorTopLeft, AnchorTopLeft, QRect(10, 50, 100, 50)},
        {AnchorTopLeft, AnchorTopRight, QRect(10, 50, 150, 50)},
        {AnchorTopLeft, AnchorBottomRight, QRect(10, 50, 150, 80)},
        {AnchorMiddleCentre, AnchorMiddleCentre, QRect(35, 65, 100, 50)}, // negative margins
        {AnchorNone, AnchorBottomRight, QRect(10, 49, 150, 81)},          // negative percentages
    };
    std::vector<QLabel*> controls;
    for (const auto& c : cases)
        controls.push_back(Add(static_cast<int>(controls.size()), QRect(10, 50, 100, 50), c.topLeft,
                               c.bottomRight));
    dialog.resize(451, 331);
    for (std::size_t i = 0; i < controls.size(); ++i)
        EXPECT_EQ(controls[i]->geometry(), cases[i].expected) << i;
    // Margins come from the registration, so nothing drifts on the way back.
    dialog.resize(401, 301);
    for (QLabel* control : controls)
        EXPECT_EQ(control->geometry(), QRect(10, 50, 100, 50));
}

TEST_F(AnchoredDialogTest, RegisterTwiceUnknownIdAndDestroyedControl) {
    QLabel* twice = Add(7, QRect(10, 30, 50, 20), AnchorTopLeft, AnchorTopLeft);
    dialog.AnchorControl(twice, AnchorTopLeft, AnchorBottomRight);
    delete Add(3, QRect(10, 60, 50, 20), AnchorTopLeft, AnchorBottomRight); // must drop out
    EXPECT_FALSE(dialog.UnanchorControl(999));
    dialog.resize(431, 321);
    EXPECT_EQ(dialog.AnchoredCount(), 2);
    EXPECT_EQ(twice->geometry(), QRect(10, 30, 80, 40)); // the newer entry decides
    // Unanchoring removes the newest entry; the older one still holds it.
    EXPECT_TRUE(dialog.UnanchorControl(7));
    dialog.resize(451, 341);
    EXPECT_EQ(twice->geometry(), QRect(10, 30, 50, 20));
}

TEST_F(AnchoredDialogTest, GripHidesWhileMaximizedAndEachReasonCountsOnce) {
    QSizeGrip* grip = dialog.SizeGrip();
    dialog.setWindowState(Qt::WindowMaximized);
    EXPECT_FALSE(grip->isVisible());
    dialog.setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->geometry().bottomRight(), dialog.ClientRect().bottomRight());
    // Hiding twice for one reason must not also undo another reason's showing.
    dialog.ShowSizeGrip(2);
    dialog.HideSizeGrip(CAnchoredDialog::GripNotMaximized);
    dialog.HideSizeGrip(CAnchoredDialog::GripNotMaximized);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(dialog.GripShowCount(), 1);
}
