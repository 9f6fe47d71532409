#include "controls/CLinkLabel.h"
#include "platform/Desktop.h"
#include "support/TestSupport.h"

#include <QCursor>
#include <QFontMetrics>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using tessarine::test::ScopedEnv;
using tessarine::test::TempDir;

namespace {

const QColor kUnvisited(0, 0, 238);
const QColor kVisited(85, 26, 139);
const QColor kHover(255, 0, 0);

struct ShownBox {
    QMessageBox::Icon icon;
    QString text;
};

class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override {
        host.resize(400, 200);
        SetShowMessageBox([this](QWidget*, QMessageBox::Icon icon, const QString& text,
                                 QMessageBox::StandardButtons) {
            boxes.push_back({icon, text});
            return QMessageBox::Ok;
        });
        CLinkLabel::SetBeep([this] { ++beeps; });
    }
    void TearDown() override {
        SetOpenWithDesktop({});
        SetShowMessageBox({});
        CLinkLabel::SetBeep({});
        QCursor::setPos(QPoint(-1000, -1000));
    }

    CLinkLabel* MakeLink(const QString& caption, QRect place = QRect(10, 20, 300, 40)) {
        auto* link = new CLinkLabel(caption, &host);
        link->setGeometry(place);
        return link;
    }
    QColor TextColour(const CLinkLabel* link) const { return link->palette().color(QPalette::WindowText); }

    // Puts the mouse over the link, as the desktop reports it.
    void HoverOver(CLinkLabel* link) {
        const QPoint inside = link->rect().center();
        QCursor::setPos(link->mapToGlobal(inside));
        QTest::mouseMove(link, inside);
    }
    void Click(CLinkLabel* link) { QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center()); }

    QWidget host;
    std::vector<ShownBox> boxes;
    int beeps = 0;
};

TEST_F(LinkLabelTest, TakesItsUrlFromTheCaptionAndItsCaptionFromTheUrl) {
    CLinkLabel* fromCaption = MakeLink(QStringLiteral("https://example.org/a"));
    fromCaption->Attach();
    EXPECT_EQ(fromCaption->LinkUrl(), QStringLiteral("https://example.org/a"));
    EXPECT_EQ(fromCaption->toolTip(), QStringLiteral("https://example.org/a"));
    EXPECT_EQ(fromCaption->cursor().shape(), Qt::PointingHandCursor);

    CLinkLabel* fromUrl = MakeLink(QString());
    fromUrl->SetLinkUrl(QStringLiteral("https://example.org/b"));
    fromUrl->Attach();
    EXPECT_EQ(fromUrl->text(), QStringLiteral("https://example.org/b"));

    // Both set: each keeps its own, and a later address changes the tooltip.
    CLinkLabel* both = MakeLink(QStringLiteral("Home page"));
    both->SetLinkUrl(QStringLiteral("https://example.org/c"));
    both->Attach();
    EXPECT_EQ(both->text(), QStringLiteral("Home page"));
    both->SetLinkUrl(QStringLiteral("https://example.org/d"));
    EXPECT_EQ(both->toolTip(), QStringLiteral("https://example.org/d"));
}

TEST_F(LinkLabelTest, FitsItsTextKeepingTheEdgeOfItsAlignment) {
    const QString caption = QStringLiteral("https://www.example.org/");
    const QRect place(10, 20, 300, 40);
    for (Qt::Alignment align : {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter}) {
        CLinkLabel* link = MakeLink(caption, place);
        link->setAlignment(align | Qt::AlignTop);
        link->Attach();
        QFont underlined = link->font();
        underlined.setUnderline(true);
        const QSize text = QFontMetrics(underlined).size(0, caption);
        SCOPED_TRACE(static_cast<int>(align));
        EXPECT_EQ(link->size(), text);
        EXPECT_EQ(link->y(), place.y());
        if (align == Qt::AlignLeft)
            EXPECT_EQ(link->x(), place.left());
        else if (align == Qt::AlignRight)
            EXPECT_EQ(link->geometry().right(), place.right());
        else
            EXPECT_LE(std::abs(link->geometry().center().x() - place.center().x()), 1);
    }
    // A control too small for its text grows.
    CLinkLabel* small = MakeLink(caption, QRect(5, 5, 10, 4));
    small->Attach();
    EXPECT_GT(small->width(), 10);
    EXPECT_EQ(small->x(), 5);
}

TEST_F(LinkLabelTest, HoverUnderlinesInHoverColourAndLeavingIsDetectedByTheTimer) {
    CLinkLabel* link = MakeLink(QStringLiteral("https://example.org/"));
    link->Attach();
    host.show();
    EXPECT_EQ(TextColour(link), kUnvisited);
    EXPECT_FALSE(link->font().underline());

    HoverOver(link);
    EXPECT_TRUE(link->IsOver());
    EXPECT_EQ(TextColour(link), kHover);
    EXPECT_TRUE(link->font().underline());
    EXPECT_TRUE(link->HoverTimer().isActive());
    EXPECT_EQ(link->HoverTimer().interval(), 100);

    // While the mouse stays, the timer finds it inside and nothing changes.
    QTest::qWait(250);
    EXPECT_TRUE(link->IsOver());

    // Only the hover timer notices that the mouse has gone.
    QCursor::setPos(host.mapToGlobal(QPoint(390, 190)));
    QTRY_VERIFY_WITH_TIMEOUT(!link->IsOver(), 10000);
    EXPECT_FALSE(link->HoverTimer().isActive());
    EXPECT_FALSE(link->font().underline());
    EXPECT_EQ(TextColour(link), kUnvisited);
}

TEST_F(LinkLabelTest, ClickOpensTheUrlOrBeepsAndReports) {
    ScopedEnv noBrowser("BROWSER", std::nullopt);
    std::vector<QUrl> opened;
    bool succeed = true;
    SetOpenWithDesktop([&](const QUrl& url) {
        opened.push_back(url);
        return succeed;
    });
    CLinkLabel* link = MakeLink(QStringLiteral("https://example.org/page?q=1"));
    link->Attach();
    host.show();
    HoverOver(link);
    Click(link);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("https://example.org/page?q=1"));
    EXPECT_TRUE(link->IsVisited());
    EXPECT_EQ(TextColour(link), kVisited);
    EXPECT_TRUE(boxes.empty());

    succeed = false;
    Click(link);
    EXPECT_FALSE(link->IsVisited());
    EXPECT_EQ(TextColour(link), kUnvisited);
    EXPECT_EQ(beeps, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Unable to open hyperlink:\n\nThere is no application "
                                            "associated\nwith the given filename extension."));

    // A press outside followed by a release inside is no click.
    QTest::mousePress(&host, Qt::LeftButton, {}, QPoint(390, 190));
    QTest::mouseRelease(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_EQ(opened.size(), 2u);
}

TEST(LinkLabelBrowser, AssemblesTheBrowserCommandLine) {
    const QString address = QStringLiteral("https://example.org/feed");
    const struct {
        const char* command;
        const char* expected;
    } cases[] = {
        {"firefox", "firefox https://example.org/feed"},
        {"firefox %1", "firefox  https://example.org/feed"},
        {"firefox \"%1\"", "firefox  https://example.org/feed"},
        {"\"/opt/web browser/b\" -osint -url \"%1\" --tail", "\"/opt/web browser/b\" -osint -url  https://example.org/feed"},
        {"b -a %1 -b \"%1\"", "b -a %1 -b  https://example.org/feed"},
        {"lynx '%s'", "lynx  https://example.org/feed"},
        {"w3m %s", "w3m  https://example.org/feed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(CLinkLabel::AssembleBrowserCommand(QString::fromUtf8(c.command), address),
                  QString::fromUtf8(c.expected));
    }
    // The address stays one argument, whatever it holds.
    const QString odd = QStringLiteral("https://example.org/a b\"c");
    EXPECT_EQ(CLinkLabel::BrowserArguments(QStringLiteral("\"/opt/web browser/b\" --new-tab \"%1\""), odd),
              (QStringList{QStringLiteral("/opt/web browser/b"), QStringLiteral("--new-tab"), odd}));
}

TEST(LinkLabelBrowser, FallsBackToTheBrowserVariable) {
    SetOpenWithDesktop([](const QUrl&) { return false; });
    TempDir dir;
    const std::filesystem::path script = dir.Path() / "browser";
    const std::filesystem::path out = dir.Path() / "args";
    tessarine::test::WriteFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.tmp\" && mv \"$0.tmp\" " +
                                           out.string() + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);

    // A long address is handed over whole, as one argument.
    const QString address = QStringLiteral("https://example.org/?q=") + QString(2000, QLatin1Char('x'));
    {
        ScopedEnv browser("BROWSER", ":" + script.string() + " --flag \"%s\":other");
        EXPECT_EQ(CLinkLabel::OpenLink(address), 33);
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(out), 10000);
        EXPECT_EQ(tessarine::test::ReadFile(out), "--flag\n" + address.toStdString() + "\n");
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_read);
    const std::pair<std::optional<std::string>, int> cases[] = {
        {"/nonexistent/browser %1", 2}, {"tessarine-no-such-browser", 2}, {script.string(), 5}, {"", 31}, {std::nullopt, 31}};
    for (const auto& [value, expected] : cases) {
        ScopedEnv browser("BROWSER", value);
        EXPECT_EQ(CLinkLabel::OpenLink(address), expected) << value.value_or("(unset)");
    }
    SetOpenWithDesktop({});
}

TEST(LinkLabelErrors, TextsForEveryCode) {
    const std::pair<int, const char*> cases[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {1, "Unknown Error (1) occurred."},
        {33, "Unknown Error (33) occurred."},
        {-4, "Unknown Error (-4) occurred."},
    };
    for (const auto& [code, text] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(CLinkLabel::OpenErrorText(code), QString::fromUtf8(text));
    }

    std::vector<ShownBox> boxes;
    SetShowMessageBox([&](QWidget*, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons) {
        boxes.push_back({icon, text});
        return QMessageBox::Ok;
    });
    CLinkLabel::ShowOpenError(26);
    SetShowMessageBox({});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Unable to open hyperlink:\n\nA sharing violation occurred. "));
}

} // namespace
