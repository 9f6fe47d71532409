// The dialogs run modally, driven by real clicks and keys from their own event loops.
#include "core/util/Strings.h"
#include "dialogs/CAboutDlg.h"
#include "dialogs/TessarineAddFeedDlg.h"
#include "dialogs/TessarineInfo.h"
#include "dialogs/TessarineOptions.h"
#include "support/GuiHarness.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

using namespace tessarine;
using test::OnNextModal;

namespace {

void Click(QWidget* modal, const char* name) {
    QTest::mouseClick(modal->findChild<QWidget*>(name), Qt::LeftButton);
}

// OK takes the text exactly as typed (longer than a line edit takes by
// default), Cancel keeps nothing; a blank field cannot be taken, by OK or Enter.
TEST(SubscribeDialog, OkKeepsTheUrlExactlyAsTypedCancelKeepsNothingBlankIsRefused) {
    const QString preset =
        QStringLiteral("http://example.org/?") + QString(40000, QLatin1Char('a'));
    for (const char* button : {"ok", "cancel"}) {
        TessarineAddFeedDlg dialog;
        dialog.feedUrl = preset;
        OnNextModal([button](QDialog* modal) {
            auto* edit = modal->findChild<QLineEdit*>("feedUrl");
            QTest::keyClick(edit, Qt::Key_End); // the shown text starts out selected
            QTest::keyClicks(edit, QStringLiteral(" &b=<c> "));
            Click(modal, button);
        });
        const bool ok = button == std::string("ok");
        EXPECT_EQ(dialog.exec(), ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(dialog.feedUrl, ok ? preset + QStringLiteral(" &b=<c> ") : preset);
    }
    TessarineAddFeedDlg dialog;
    dialog.feedUrl = " \t ";
    OnNextModal([](QDialog* modal) {
        auto* edit = modal->findChild<QLineEdit*>("feedUrl");
        auto* ok = modal->findChild<QPushButton*>("ok");
        EXPECT_FALSE(ok->isEnabled()); // blank from the start
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_TRUE(modal->isVisible());
        QTest::keyClicks(edit, "example.org/feed");
        Click(modal, "ok");
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.feedUrl, "example.org/feed");
}

TEST(SettingsDialog, OkCopiesTheBoxesCancelKeepsThemAutostartNeedsAUsablePlace) {
    // Each case starts from {1, 0, 0, runKeyOpen} and clicks all three boxes.
    const struct {
        int runKeyOpen;
        const char* button;
        std::array<int32_t, 4> expected; // updateStart, quitComplete, autostart, runKeyOpen
    } cases[] = {{1, "ok", {0, 1, 1, 1}}, {1, "cancel", {1, 0, 0, 1}}, {0, "ok", {0, 1, 0, 0}}};
    for (const auto& c : cases) {
        OptionSet options{1, 0, 0, c.runKeyOpen};
        TessarineOptions dialog;
        OnNextModal([&c](QDialog* modal) {
            EXPECT_EQ(modal->findChild<QCheckBox*>("autostart")->isEnabled(), c.runKeyOpen == 1);
            for (const char* box : {"updateStart", "quitComplete", "autostart", c.button})
                Click(modal, box);
        });
        EXPECT_EQ(dialog.EditOptions(options),
                  c.button == std::string("ok") ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ((std::array{options.updateStart, options.quitComplete, options.autostart,
                              options.runKeyOpen}),
                  c.expected);
    }
}

// The example address can be copied (and is not hidden by its group box).
TEST(InformationDialog, ExampleUrlCanBeCopied) {
    TessarineInfo dialog;
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>("exampleUrl");
    EXPECT_EQ(dialog.childAt(edit->geometry().center()), edit);
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QString::fromStdString(LoadResString(IDS_EXAMPLE_FEED_URL)));
}

// Tab walks every control in reading order and comes round to the first;
// Escape cancels and Enter takes the dialog wherever the focus went.
TEST(DialogKeys, TabWalksTheControlsInOrderEscapeCancelsEnterTakes) {
    const struct {
        std::function<std::unique_ptr<QDialog>()> make;
        QStringList chain;
    } cases[] = {
        {[] {
             auto dialog = std::make_unique<TessarineAddFeedDlg>();
             dialog->feedUrl = "http://example.org/feed";
             return dialog;
         },
         {"feedUrl", "ok", "cancel"}},
        {[] { return std::make_unique<TessarineOptions>(); },
         {"updateStart", "quitComplete", "autostart", "checkEvery", "keepInTray", "paused",
          "refetch-deleted", "on-subscribe", "keep", "keep-days", "names", "ok", "cancel"}},
        {[] { return std::make_unique<TessarineInfo>(); }, {"ok", "exampleUrl"}},
        {[] { return std::make_unique<CAboutDlg>(); }, {"ok", "link"}},
    };
    for (const auto& c : cases) {
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
            const std::unique_ptr<QDialog> dialog = c.make();
            QStringList chain;
            OnNextModal([&](QDialog* modal) {
                chain << modal->focusWidget()->objectName();
                for (qsizetype i = 0; i < c.chain.size(); ++i) { // once round
                    QTest::keyClick(modal->focusWidget(), Qt::Key_Tab);
                    chain << modal->focusWidget()->objectName();
                }
                QTest::keyClick(modal->focusWidget(), key);
            });
            const int result = dialog->exec();
            EXPECT_EQ(chain, c.chain + QStringList{c.chain.first()});
            EXPECT_EQ(result, key == Qt::Key_Escape ? QDialog::Rejected : QDialog::Accepted)
                << c.chain.first().toStdString();
        }
    }
}

} // namespace
