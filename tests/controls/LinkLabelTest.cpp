// The link label: size, colours, clicks and the failure report.
#include "controls/CLinkLabel.h"
#include "support/GuiHarness.h"

#include <QCursor>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;

namespace {

const QString kUrl = QStringLiteral("https://www.example.org/?q=1");

class LinkLabelTest : public testing::Test {
protected:
    void SetUp() override {
        link->setGeometry(10, 20, 300, 40);
        link->Attach();
        host.show();
    }
    void TearDown() override {
        CLinkLabel::SetBeep({});
        QCursor::setPos(QPoint(-1000, -1000));
    }
    QColor Colour() const { return link->palette().color(QPalette::WindowText); }
    void Click() { QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center()); }

    test::GuiHarness desktop;
    QWidget host;
    CLinkLabel* link = new CLinkLabel(kUrl, &host);
};

TEST_F(LinkLabelTest, FitsItsCaptionAndTurnsRedAndUnderlinedWhileTheMouseIsOver) {
    QFont underlined = link->font();
    underlined.setUnderline(true);
    EXPECT_EQ(link->geometry(), QRect(QPoint(10, 20), QFontMetrics(underlined).size(0, kUrl)));
    QCursor::setPos(link->mapToGlobal(link->rect().center()));
    QTest::mouseMove(link, link->rect().center());
    EXPECT_EQ(Colour(), QColor(255, 0, 0));
    EXPECT_TRUE(link->font().underline());
    // No leave event arrives: only the hover timer can notice.
    QCursor::setPos(host.mapToGlobal(QPoint(390, 190)));
    QTRY_VERIFY_WITH_TIMEOUT(!link->IsOver(), 10000);
    EXPECT_FALSE(link->font().underline());
    EXPECT_EQ(Colour(), QColor(0, 0, 238));
}

// On a dark palette the link keeps its hues but is drawn light enough to
// read (on a light one it has its own colours, as the tests above see).
TEST(LinkLabelPalette, ADarkBackgroundGetsReadableLinkColours) {
    QWidget host;
    QPalette dark = host.palette();
    dark.setColor(QPalette::Window, QColor(35, 38, 41));
    dark.setColor(QPalette::WindowText, QColor(239, 240, 241));
    host.setPalette(dark);
    auto* link = new CLinkLabel(kUrl, &host);
    link->Attach();
    const QColor shown = link->palette().color(QPalette::WindowText);
    EXPECT_EQ(shown.hslHue(), QColor(0, 0, 238).hslHue());
    EXPECT_GE(shown.lightness(), 192);
}

TEST_F(LinkLabelTest, ClickOpensThroughTheDesktopOrBeepsAndReports) {
    test::ScopedEnv noBrowser("BROWSER", std::nullopt);
    desktop.openResults = {true, false};
    int beeps = 0;
    CLinkLabel::SetBeep([&] { ++beeps; });
    Click();
    EXPECT_EQ(desktop.opened, std::vector<QUrl>{QUrl(kUrl)});
    EXPECT_EQ(Colour(), QColor(85, 26, 139));
    Click();
    EXPECT_EQ(Colour(), QColor(0, 0, 238));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(desktop.Told(), QStringList{"Unable to open hyperlink:\n\nThere is no application "
                                          "associated\nwith the given filename extension."});
    // From the keyboard: Tab reaches it, Space and Enter open it, other keys do not.
    EXPECT_EQ(link->focusPolicy(), Qt::TabFocus);
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter, Qt::Key_A})
        QTest::keyClick(link, key);
    EXPECT_EQ(desktop.opened.size(), 5u);
}

} // namespace
