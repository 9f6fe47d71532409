#include "platform/Browser.h"
#include "platform/Desktop.h"
#include "platform/QtTranslations.h"
#include "support/GuiHarness.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace tessarine;

TEST(QtTranslations, MessageBoxButtonsFollowTheProgramsLanguage) {
    auto buttonTexts = [] {
        QMessageBox box(QMessageBox::Question, "Tessarine", "?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.show();
        return QStringList{box.button(QMessageBox::Yes)->text(),
                           box.button(QMessageBox::No)->text(),
                           box.button(QMessageBox::Cancel)->text()}
            .join('|')
            .toStdString();
    };
    ASSERT_TRUE(InstallQtTranslations(Language::German));
    EXPECT_EQ(buttonTexts(), "&Ja|&Nein|Abbrechen");
    ASSERT_TRUE(InstallQtTranslations(Language::German)); // replaced, not stacked
    ASSERT_TRUE(InstallQtTranslations(Language::English));
    EXPECT_EQ(buttonTexts(), "&Yes|&No|Cancel");
}

TEST(ChooseFolder, QtsOwnDialogShowsThePromptAndReturnsTheChosenFolder) {
    test::TempDir dir;
    const QString folder = QString::fromStdString(dir.Path().string());
    const QString start = folder + "/start";
    ASSERT_TRUE(QDir().mkdir(start));
    QString title, label, opened;
    test::OnNextModal([&](QDialog* dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(chooser, nullptr);
        title = chooser->windowTitle();
        opened = chooser->directory().absolutePath();
        if (auto* prompt = chooser->findChild<QLabel*>("tessarinePrompt"))
            label = prompt->isVisible() ? prompt->text() : QString();
        chooser->setDirectory(folder);
        chooser->selectFile(folder);
        dialog->accept(); // QFileDialog::accept, as its Choose button does
    });
    const QString prompt = QString::fromStdString(LoadResString(IDS_BROWSE_PROMPT));
    EXPECT_EQ(ChooseFolder(nullptr, prompt, start), folder);
    EXPECT_EQ(opened, start);
    EXPECT_EQ(title, prompt);
    EXPECT_EQ(label, prompt);

    test::OnNextModal([](QDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(ChooseFolder(nullptr, prompt, start), QString());
}

// The browser named by $BROWSER: its command cut at the placeholder, the
// address one argument of its own however it is written.
TEST(Browser, CommandLineCutsAtThePlaceholderAndKeepsTheAddressWhole) {
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
