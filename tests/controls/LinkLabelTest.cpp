// The link label: size, colours, clicks, the $BROWSER command line and failure texts.
#include "controls/CLinkLabel.h"
#include "platform/Browser.h"
#include "platform/Desktop.h"
#include "support/TestSupport.h"

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
        SetOpenWithDesktop({});
        SetShowMessageBox({});
        CLinkLabel::SetBeep({});
        QCursor::setPos(QPoint(-1000, -1000));
    }
    QColor Colour() const { return link->palette().color(QPalette::WindowText); }
    void Click() { QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center()); }

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
// read against the background; on a light one exactly in its own colours.
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
    CLinkLabel light(kUrl);
    light.Attach();
    EXPECT_EQ(light.palette().color(QPalette::WindowText), QColor(0, 0, 238));
}

TEST_F(LinkLabelTest, ClickOpensThroughTheDesktopOrBeepsAndReports) {
    test::ScopedEnv noBrowser("BROWSER", std::nullopt);
    std::vector<QUrl> opened;
    QStringList boxes;
    int beeps = 0;
    SetOpenWithDesktop([&](const QUrl& url) {
        opened.push_back(url);
        return opened.size() == 1; // the second attempt fails
    });
    SetShowMessageBox(
        [&](QWidget*, QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
            boxes.push_back(text);
            return QMessageBox::Ok;
        });
    CLinkLabel::SetBeep([&] { ++beeps; });
    Click();
    EXPECT_EQ(opened, std::vector<QUrl>{QUrl(kUrl)});
    EXPECT_EQ(Colour(), QColor(85, 26, 139));
    Click();
    EXPECT_EQ(Colour(), QColor(0, 0, 238));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(boxes,
              QStringList{QStringLiteral("Unable to open hyperlink:\n\nThere is no application "
                                         "associated\nwith the given filename extension.")});
}

TEST(LinkLabelBrowser, CommandLineCutsAtThePlaceholderAndKeepsTheAddressWhole) {
    const std::pair<const char*, const char*> cases[] = {
        {"firefox", "firefox https://example.org/"},
        {"firefox %1 --tail", "firefox  https://example.org/"},
        {"\"/opt/web browser/b\" -url \"%1\" --tail",
         "\"/opt/web browser/b\" -url  https://example.org/"},
    };
    for (const auto& [command, expected] : cases)
        EXPECT_EQ(AssembleBrowserCommand(command, QStringLiteral("https://example.org/")),
                  expected);
    const QString odd = QStringLiteral("https://example.org/a b\"c; rm x");
    EXPECT_EQ(
        BrowserArguments(QStringLiteral("\"/opt/web browser/b\" --new-tab \"%1\""), odd),
        (QStringList{QStringLiteral("/opt/web browser/b"), QStringLiteral("--new-tab"), odd}));
}

TEST(LinkLabelErrors, KnownCodesHaveTheirTextOthersTheirNumber) {
    const std::pair<int, const char*> cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {26, "A sharing violation occurred. "},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
             "being processed."},
        {1, "Unknown Error (1) occurred."},
        {-4, "Unknown Error (-4) occurred."},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(CLinkLabel::OpenErrorText(code), QString::fromUtf8(text)) << code;
}

} // namespace
