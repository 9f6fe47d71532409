#include "controls/DialogUnits.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/TessarineAddFeedDlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;
using tessarine::test::Child;
using tessarine::test::WhenModal;

namespace {

enum class Close { OkButton, ReturnKey, CancelButton, EscapeKey };

TEST(SubscribeDialog, OkKeepsTheUrlExactlyAsTypedAndCancelKeepsNothing) {
    const QString longUrl = QStringLiteral("http://example.org/?") + QString(40000, QLatin1Char('a'));
    const struct {
        QString preset, typed;
        Close close;
        int result;
        QString expected;
    } cases[] = {
        {{}, QStringLiteral(" http://example.org/feed.xml "), Close::OkButton, QDialog::Accepted,
         QStringLiteral(" http://example.org/feed.xml ")},
        {{}, QStringLiteral("not a url"), Close::ReturnKey, QDialog::Accepted, QStringLiteral("not a url")},
        {{}, {}, Close::OkButton, QDialog::Accepted, {}},
        // The field takes a URL of any length.
        {longUrl, QStringLiteral("b"), Close::ReturnKey, QDialog::Accepted, longUrl + QStringLiteral("b")},
        {{}, QStringLiteral("http://example.org/"), Close::CancelButton, QDialog::Rejected, {}},
        {{}, QStringLiteral("http://example.org/"), Close::EscapeKey, QDialog::Rejected, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        TessarineAddFeedDlg dialog;
        dialog.feedUrl = c.preset;
        WhenModal([&c](QWidget* modal) {
            auto* edit = Child<QLineEdit>(modal, "feedUrl");
            edit->end(false);
            QTest::keyClicks(edit, c.typed);
            switch (c.close) {
            case Close::OkButton: QTest::mouseClick(Child<QPushButton>(modal, "ok"), Qt::LeftButton); break;
            case Close::ReturnKey: QTest::keyClick(edit, Qt::Key_Return); break;
            case Close::CancelButton: QTest::mouseClick(Child<QPushButton>(modal, "cancel"), Qt::LeftButton); break;
            case Close::EscapeKey: QTest::keyClick(edit, Qt::Key_Escape); break;
            }
        });
        EXPECT_EQ(dialog.exec(), c.result);
        EXPECT_EQ(dialog.feedUrl, c.expected);
    }
}

TEST(SubscribeDialog, FixedSizeAtTheTemplatePositions) {
    TessarineAddFeedDlg dialog;
    const DialogUnits units(&dialog);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.size(), units.Size(260, 66));
    EXPECT_FALSE(dialog.isSizeGripEnabled());
    EXPECT_EQ(Child<QLineEdit>(&dialog, "feedUrl")->geometry(), units.Rect(7, 18, 246, 12));
    EXPECT_EQ(Child<QPushButton>(&dialog, "ok")->geometry(), units.Rect(75, 45, 50, 14));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Subscribe to Podcast"));
}

} // namespace
