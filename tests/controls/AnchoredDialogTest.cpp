// The anchored dialog: margins fixed at registration, integer arithmetic on
// resize, registration bookkeeping, the minimum size and the size grip.
#include "controls/CAnchoredDialog.h"

#include <QLabel>
#include <QSizeGrip>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace tessarine;

namespace {

constexpr int kMenuHeight = 20; // a top contents margin, as the menu bar uses

// A dialog with a client area of 401 x 281 below a 20-pixel top margin,
// shown, so that resizing it goes through the real resize path.
std::unique_ptr<CAnchoredDialog> MakeShownDialog() {
    auto dialog = std::make_unique<CAnchoredDialog>();
    dialog->setContentsMargins(0, kMenuHeight, 0, 0);
    dialog->resize(401, 281 + kMenuHeight);
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return dialog;
}

QLabel* AddControl(CAnchoredDialog& dialog, int id, const QRect& clientRect) {
    auto* control = new QLabel(&dialog);
    CAnchoredDialog::SetControlId(control, id);
    control->setGeometry(clientRect.translated(dialog.ClientRect().topLeft()));
    control->show();
    return control;
}

QRect InClient(const CAnchoredDialog& dialog, const QWidget* control) {
    return control->geometry().translated(-dialog.ClientRect().topLeft());
}

} // namespace

TEST(AnchoredDialog, AnchorsKeepMarginsWithTruncatingArithmetic) {
    // Each control starts at (10, 30) 100 x 50 in a 401 x 281 client area and
    // ends in a 451 x 311 one. Percentages of odd sizes truncate: 50% of 401
    // is 200, of 451 is 225; -1% of 401 is -4 and of 311 is -3 (toward zero).
    struct Case {
        const char* name;
        Anchor topLeft;
        Anchor bottomRight;
        QRect expected;
    };
    const Case cases[] = {
        {"fixed label", AnchorTopLeft, AnchorTopLeft, QRect(10, 30, 100, 50)},
        {"upper list: width only", AnchorTopLeft, AnchorTopRight, QRect(10, 30, 150, 50)},
        {"lower list: both ways", AnchorTopLeft, AnchorBottomRight, QRect(10, 30, 150, 80)},
        {"centred, negative margins", AnchorMiddleCentre, AnchorMiddleCentre, QRect(35, 45, 100, 50)},
        {"negative percentages", AnchorNone, AnchorBottomRight, QRect(10, 29, 150, 81)},
    };
    auto dialog = MakeShownDialog();
    ASSERT_EQ(dialog->ClientRect(), QRect(0, kMenuHeight, 401, 281));
    std::vector<QLabel*> controls;
    int id = 1;
    for (const Case& c : cases) {
        controls.push_back(AddControl(*dialog, id++, QRect(10, 30, 100, 50)));
        dialog->AnchorControl(controls.back(), c.topLeft, c.bottomRight);
    }

    dialog->resize(451, 311 + kMenuHeight);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(InClient(*dialog, controls[i]), cases[i].expected) << cases[i].name;

    // Back to the registration size: everything returns to where it was.
    dialog->resize(401, 281 + kMenuHeight);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(InClient(*dialog, controls[i]), QRect(10, 30, 100, 50)) << cases[i].name;
}

TEST(AnchoredDialog, RegisteringTwiceUsesNewestEntryAndUnanchorPeelsThemOff) {
    auto dialog = MakeShownDialog();
    QLabel* control = AddControl(*dialog, 7, QRect(10, 10, 50, 20));
    dialog->AnchorControl(control, AnchorTopLeft, AnchorTopLeft);
    dialog->AnchorControl(control, AnchorTopLeft, AnchorBottomRight);
    EXPECT_EQ(dialog->AnchoredCount(), 2);

    // Both entries are applied in order; the newer one decides.
    dialog->resize(431, 301 + kMenuHeight);
    EXPECT_EQ(InClient(*dialog, control), QRect(10, 10, 80, 40));

    // The newer entry goes first; the older one then still holds the control.
    EXPECT_TRUE(dialog->UnanchorControl(7));
    EXPECT_EQ(dialog->AnchoredCount(), 1);
    dialog->resize(451, 321 + kMenuHeight);
    EXPECT_EQ(InClient(*dialog, control), QRect(10, 10, 50, 20));

    EXPECT_TRUE(dialog->UnanchorControl(7));
    EXPECT_EQ(dialog->AnchoredCount(), 0);
    EXPECT_FALSE(dialog->UnanchorControl(7));
}

TEST(AnchoredDialog, UnanchorUnknownIdChangesNothing) {
    auto dialog = MakeShownDialog();
    QLabel* anchored = AddControl(*dialog, 1, QRect(10, 10, 50, 20));
    AddControl(*dialog, 2, QRect(10, 40, 50, 20)); // a child that is not registered
    dialog->AnchorControl(anchored, AnchorTopLeft, AnchorTopRight);

    EXPECT_FALSE(dialog->UnanchorControl(2));
    EXPECT_FALSE(dialog->UnanchorControl(999));
    EXPECT_FALSE(dialog->UnanchorControl(-1));
    EXPECT_EQ(dialog->AnchoredCount(), 1);
    dialog->resize(421, 281 + kMenuHeight);
    EXPECT_EQ(InClient(*dialog, anchored).width(), 70);
}

TEST(AnchoredDialog, FindControlReturnsFirstChildWithTheId) {
    CAnchoredDialog dialog;
    QLabel* first = AddControl(dialog, 1020, QRect(0, 0, 10, 10));
    AddControl(dialog, 1020, QRect(0, 20, 10, 10));
    QLabel plain(&dialog); // no id at all
    EXPECT_EQ(dialog.FindControl(1020), first);
    EXPECT_EQ(dialog.FindControl(-1), nullptr);
    EXPECT_EQ(CAnchoredDialog::ControlId(&plain), -1);
    EXPECT_EQ(CAnchoredDialog::ControlId(first), 1020);
}

TEST(AnchoredDialog, DestroyedControlDropsOutOfTheLayout) {
    auto dialog = MakeShownDialog();
    auto* doomed = AddControl(*dialog, 3, QRect(10, 10, 50, 20));
    QLabel* kept = AddControl(*dialog, 4, QRect(10, 40, 50, 20));
    dialog->AnchorControl(doomed, AnchorTopLeft, AnchorBottomRight);
    dialog->AnchorControl(kept, AnchorTopLeft, AnchorTopRight);
    delete doomed;

    dialog->resize(411, 281 + kMenuHeight);
    EXPECT_EQ(dialog->AnchoredCount(), 1);
    EXPECT_EQ(InClient(*dialog, kept), QRect(10, 40, 60, 20));
    EXPECT_FALSE(dialog->UnanchorControl(3));
    EXPECT_TRUE(dialog->UnanchorControl(4));
}

TEST(AnchoredDialog, SizeBelowTheInitialSizeIsRefused) {
    auto dialog = MakeShownDialog();
    const QSize initial(401, 281 + kMenuHeight);
    EXPECT_EQ(dialog->InitialSize(), initial);
    EXPECT_EQ(dialog->minimumSize(), initial);

    dialog->resize(200, 100);
    EXPECT_EQ(dialog->size(), initial);
    dialog->resize(500, 150);
    EXPECT_EQ(dialog->size(), QSize(500, initial.height()));

    // The minimum is fixed by the first showing only.
    dialog->hide();
    dialog->resize(600, 500);
    dialog->show();
    EXPECT_EQ(dialog->minimumSize(), initial);
}

TEST(AnchoredDialog, GripFollowsTheCornerAndHidesWhileMaximized) {
    auto dialog = MakeShownDialog();
    QSizeGrip* grip = dialog->SizeGrip();
    ASSERT_NE(grip, nullptr);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(dialog->GripShowCount(), 1);
    EXPECT_EQ(grip->geometry().bottomRight(), dialog->ClientRect().bottomRight());

    // With no registered controls a resize only moves the grip.
    dialog->resize(450, 350);
    EXPECT_EQ(grip->geometry().bottomRight(), dialog->ClientRect().bottomRight());

    dialog->setWindowState(Qt::WindowMaximized);
    EXPECT_FALSE(grip->isVisible());
    EXPECT_EQ(dialog->GripShowCount(), 0);
    EXPECT_EQ(dialog->GripTempState() & CAnchoredDialog::GripNotMaximized, 0u);

    dialog->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(dialog->GripShowCount(), 1);
    EXPECT_EQ(grip->geometry().bottomRight(), dialog->ClientRect().bottomRight());

    // Minimizing keeps the grip.
    dialog->setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(dialog->GripShowCount(), 1);
    dialog->setWindowState(Qt::WindowNoState);
}

TEST(AnchoredDialog, GripShowCountCountsEachBitOnce) {
    CAnchoredDialog dialog;
    struct Step {
        bool show;
        unsigned bit;
        int count;
        unsigned state;
    };
    const Step steps[] = {
        {true, 1, 1, 1},  // already shown by bit 1: no change
        {false, 2, 1, 1}, // bit 2 was never set: no change
        {true, 2, 2, 3},
        {false, 1, 1, 2},
        {false, 1, 1, 2}, // hiding twice by the same bit counts once
        {false, 2, 0, 0},
        {true, 1, 1, 1},
    };
    for (const Step& s : steps) {
        if (s.show)
            dialog.ShowSizeGrip(s.bit);
        else
            dialog.HideSizeGrip(s.bit);
        EXPECT_EQ(dialog.GripShowCount(), s.count);
        EXPECT_EQ(dialog.GripTempState(), s.state);
        EXPECT_EQ(dialog.SizeGrip()->isVisibleTo(&dialog), s.count > 0);
    }
}
