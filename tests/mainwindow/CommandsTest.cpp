// The main window's menus, dialogs and the autostart entry.
#include "mainwindow/CTessarineDlg.h"
#include "platform/Autostart.h"
#include "subscriptions/BaseDirectory.h"
#include "subscriptions/Strings.h"
#include "support/GuiHarness.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

using namespace tessarine;
using namespace tessarine::test;
namespace fs = std::filesystem;

namespace {

class CommandsTest : public testing::Test {
protected:
    CommandsTest() { harness.SetProfileBaseDirectory(QString::fromStdString(harness.root.Base())); }
    ~CommandsTest() override { SetLanguage(Language::English); }

    CTessarineDlg& Window() {
        if (!window) {
            window = std::make_unique<CTessarineDlg>();
            window->OnInitDialog();
            window->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
        return *window;
    }

    // The menu bar as text: "File: item|item|-|..." per pop-up.
    QStringList MenuTexts() {
        QStringList menus;
        for (QAction* popup : Window().MenuBar()->actions()) {
            QStringList items;
            for (QAction* action : popup->menu()->actions())
                items << (action->isSeparator() ? "-" : action->text());
            menus << popup->text() + ": " + items.join("|");
        }
        return menus;
    }

    // Runs the settings command, setting the three boxes and pressing OK or Cancel.
    void RunSettings(int updateStart, int quitComplete, int autostart, bool ok,
                     bool* autostartEnabled = nullptr) {
        OnNextModal([=](QDialog* dialog) {
            dialog->findChild<QCheckBox*>("updateStart")->setChecked(updateStart);
            dialog->findChild<QCheckBox*>("quitComplete")->setChecked(quitComplete);
            auto* box = dialog->findChild<QCheckBox*>("autostart");
            if (autostartEnabled)
                *autostartEnabled = box->isEnabled();
            if (box->isEnabled())
                box->setChecked(autostart);
            ok ? dialog->accept() : dialog->reject();
        });
        Window().OnCommand(ID_SETTINGS);
    }

    std::string SettingsFile() { return ReadFile(harness.root / kSettingsFileName); }

    GuiHarness harness;
    std::unique_ptr<CTessarineDlg> window;
};

} // namespace

TEST_F(CommandsTest, MainMenuInEnglish) {
    EXPECT_EQ(MenuTexts(),
              (QStringList{"File: Subscribe to Podcast...\tCtrl+A|Remove Podcast|-|Check for new "
                           "items\tCtrl+U|Base directory...|-|Quit\tCtrl+Q",
                           "Options: Set base directory...|-|Settings...",
                           "Help: Information|-|About Tessarine"}));
    EXPECT_EQ(Window().Action(ID_SUBSCRIBE)->shortcut(), QKeySequence("Ctrl+A"));
    EXPECT_EQ(Window().Action(ID_CHECK_NEW_ITEMS)->shortcut(), QKeySequence("Ctrl+U"));
    EXPECT_EQ(Window().Action(ID_QUIT_COMMAND)->shortcut(), QKeySequence("Ctrl+Q"));
}

TEST_F(CommandsTest, MainAndContextMenuInGerman) {
    SetLanguage(Language::German);
    EXPECT_EQ(MenuTexts(),
              (QStringList{"Datei: Podcast hinzufügen\tCtrl+A|Podcast entfernen|-|Auf neue Einträge "
                           "prüfen\tCtrl+U|Basisverzeichnis...|-|Beenden\tCtrl+Q",
                           "Optionen: Basisverzeichnis auswählen...|-|Einstellungen",
                           "Hilfe: Information|-|Über Tessarine"}));
    QStringList context;
    for (QAction* action : Window().ContextMenu()->actions())
        context << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(context, (QStringList{"Verzeichnis des Podcasts...", "Basisverzeichnis...", "-",
                                    "Diesen Podcast auf neue Einträge prüfen", "-",
                                    "Podcast entfernen"}));
}

TEST_F(CommandsTest, SettingsOkSavesAndWritesTheAutostartEntry) {
    const QString entry = Autostart::EntryPath();
    RunSettings(0, 1, 1, true);
    EXPECT_NE(SettingsFile().find("updatestart=\"0\" quitcomplete=\"1\""), std::string::npos);
    ASSERT_TRUE(fs::exists(entry.toStdString()));
    const std::string text = ReadFile(entry.toStdString());
    EXPECT_NE(text.find("/checkandquit"), std::string::npos);
    EXPECT_EQ(Window().Model().options.autostart, 1);

    // OK again rewrites it; unticking deletes it.
    fs::remove(entry.toStdString());
    RunSettings(0, 1, 1, true);
    EXPECT_TRUE(fs::exists(entry.toStdString()));
    RunSettings(1, 0, 0, true);
    EXPECT_FALSE(fs::exists(entry.toStdString()));
    EXPECT_EQ(Window().Model().options.autostart, 0);
    EXPECT_NE(SettingsFile().find("updatestart=\"1\" quitcomplete=\"0\""), std::string::npos);
}

TEST_F(CommandsTest, SettingsCancelChangesNothing) {
    RunSettings(0, 1, 1, false);
    EXPECT_FALSE(fs::exists(harness.root / kSettingsFileName));
    EXPECT_FALSE(fs::exists(Autostart::EntryPath().toStdString()));
    EXPECT_EQ(Window().Model().options.updateStart, 1);
    EXPECT_EQ(Window().Model().options.quitComplete, 0);
}

TEST_F(CommandsTest, UnusableAutostartFolderDisablesTheBox) {
    // A file where the autostart folder belongs.
    WriteFile(harness.root.Path() / "config/autostart", "not a folder");
    bool enabled = true;
    RunSettings(1, 0, 1, true, &enabled);
    EXPECT_FALSE(enabled);
    EXPECT_EQ(Window().Model().options.runKeyOpen, 0);
    EXPECT_EQ(Window().Model().options.autostart, 0);
}

TEST_F(CommandsTest, InformationAndAboutFromTheHelpMenu) {
    QString example, about;
    OnNextModal([&](QDialog* dialog) {
        example = dialog->findChild<QLineEdit*>("exampleUrl")->text();
        EXPECT_TRUE(dialog->findChild<QLineEdit*>("exampleUrl")->isReadOnly());
        dialog->accept();
    });
    Window().Action(ID_INFORMATION)->trigger();
    EXPECT_EQ(example.toStdString(), LoadResString(IDS_EXAMPLE_FEED_URL));

    OnNextModal([&](QDialog* dialog) {
        about = dialog->findChild<QLabel*>("aboutText")->text();
        dialog->accept();
    });
    Window().Action(ID_ABOUT)->trigger();
    EXPECT_TRUE(about.endsWith("Revision: 45, Date: 2009/01/28 13:24:41"));
}
