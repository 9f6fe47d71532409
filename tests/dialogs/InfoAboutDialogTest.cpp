#include "controls/CLinkLabel.h"
#include "controls/DialogUnits.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/TessarineInfo.h"
#include "platform/Desktop.h"

#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;
using tessarine::test::Child;
using tessarine::test::ScopedLanguage;
using tessarine::test::WhenModal;

namespace {

TEST(InformationDialog, ExampleUrlCanBeCopiedButNotEdited) {
    for (Language language : {Language::English, Language::German}) {
        ScopedLanguage scoped(language);
        TessarineInfo dialog;
        dialog.show();
        const QString url = QString::fromStdString(LoadResString(IDS_EXAMPLE_FEED_URL));
        auto* edit = Child<QLineEdit>(&dialog, "exampleUrl");
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_EQ(edit->text(), url);

        // Clicks reach the field, not the group box drawn around it.
        const QPoint middle = edit->geometry().center();
        EXPECT_EQ(dialog.childAt(middle), edit);

        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("typed"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        EXPECT_EQ(edit->text(), url);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(edit->selectedText(), url);
        QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), url);
    }
}

TEST(InformationDialog, GermanTemplateDiffers) {
    ScopedLanguage german(Language::German);
    TessarineInfo dialog;
    const DialogUnits units(&dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Informationen"));
    EXPECT_EQ(dialog.size(), units.Size(322, 236));
    EXPECT_EQ(Child<QGroupBox>(&dialog, "parametersGroup")->geometry(), units.Rect(7, 123, 308, 84));
}

QString LastLine(const QString& text) { return text.section(QLatin1Char('\n'), -1); }

TEST(AboutDialog, ShowsRevisionAndDateInEitherLanguage) {
    {
        CAboutDlg dialog;
        auto* text = Child<QLabel>(&dialog, "aboutText");
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->text(), dialog.AboutText());
        EXPECT_EQ(text->text().count(QLatin1Char('\n')), 3);
        EXPECT_TRUE(text->text().startsWith(QStringLiteral("Tessarine\n")));
        EXPECT_EQ(LastLine(text->text()), QStringLiteral("Revision: 45, Date: 2009/01/28 13:24:41"));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About Tessarine"));
        auto* icon = Child<QLabel>(&dialog, "icon");
        ASSERT_NE(icon, nullptr);
        EXPECT_FALSE(icon->pixmap().isNull());
    }
    ScopedLanguage german(Language::German);
    CAboutDlg dialog;
    EXPECT_EQ(LastLine(Child<QLabel>(&dialog, "aboutText")->text()),
              QStringLiteral("Revision: 45, Datum: 2009/01/28 13:24:41"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Über Tessarine"));
}

TEST(AboutDialog, LinkOpensTheAddressItShows) {
    std::vector<QUrl> opened;
    SetOpenWithDesktop([&](const QUrl& url) {
        opened.push_back(url);
        return true;
    });
    CAboutDlg dialog;
    const QString address = QString::fromStdString(LoadResString(TXT_WEB_ADDRESS));
    auto* link = Child<CLinkLabel>(&dialog, "link");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->IsAttached());
    EXPECT_EQ(link->text(), address);
    EXPECT_EQ(link->LinkUrl(), address);
    EXPECT_EQ(link->pos(), DialogUnits(&dialog).Rect(39, 47, 189, 16).topLeft());

    WhenModal([](QWidget* modal) {
        auto* link = Child<CLinkLabel>(modal, "link");
        QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
        QTest::mouseClick(Child<QPushButton>(modal, "ok"), Qt::LeftButton);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    SetOpenWithDesktop({});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(address));
    EXPECT_TRUE(link->IsVisited());
}

} // namespace
