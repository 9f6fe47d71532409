#include "controls/DialogUnits.h"
#include "dialogs/ModalDriver.h"
#include "dialogs/TessarineOptions.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace tessarine;
using tessarine::test::Child;
using tessarine::test::ScopedLanguage;
using tessarine::test::WhenModal;

namespace {

const char* const kBoxes[] = {"updateStart", "quitComplete", "autostart"};

// Runs the dialog on `options`, clicks the named boxes, then OK or Cancel;
// `seen` receives the boxes' states and enabled flags as the dialog opened.
int ClickBoxes(OptionSet& options, std::vector<const char*> clicks, bool ok,
               std::vector<std::pair<bool, bool>>* seen = nullptr) {
    TessarineOptions dialog;
    WhenModal([&](QWidget* modal) {
        for (const char* name : kBoxes) {
            auto* box = Child<QCheckBox>(modal, name);
            if (seen)
                seen->emplace_back(box->isChecked(), box->isEnabled());
        }
        for (const char* name : clicks)
            QTest::mouseClick(Child<QCheckBox>(modal, name), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(modal, ok ? "ok" : "cancel"), Qt::LeftButton);
    });
    return dialog.EditOptions(options);
}

TEST(SettingsDialog, OkCopiesTheThreeBoxes) {
    OptionSet options{1, 0, 0, 1};
    std::vector<std::pair<bool, bool>> seen;
    EXPECT_EQ(ClickBoxes(options, {"updateStart", "quitComplete", "autostart"}, true, &seen), QDialog::Accepted);
    EXPECT_EQ(seen, (std::vector<std::pair<bool, bool>>{{true, true}, {false, true}, {false, true}}));
    EXPECT_EQ(options.updateStart, 0);
    EXPECT_EQ(options.quitComplete, 1);
    EXPECT_EQ(options.autostart, 1);
    EXPECT_EQ(options.runKeyOpen, 1);

    // OK with nothing changed keeps what was there.
    EXPECT_EQ(ClickBoxes(options, {}, true), QDialog::Accepted);
    EXPECT_EQ(options.updateStart, 0);
    EXPECT_EQ(options.quitComplete, 1);
    EXPECT_EQ(options.autostart, 1);
}

TEST(SettingsDialog, CancelLeavesTheOptionsUntouched) {
    OptionSet options{1, 0, 1, 1};
    EXPECT_EQ(ClickBoxes(options, {"updateStart", "quitComplete", "autostart"}, false), QDialog::Rejected);
    EXPECT_EQ(options.updateStart, 1);
    EXPECT_EQ(options.quitComplete, 0);
    EXPECT_EQ(options.autostart, 1);
}

TEST(SettingsDialog, AutostartBoxIsDisabledWithoutAUsablePlace) {
    OptionSet options{0, 1, 0, 0};
    std::vector<std::pair<bool, bool>> seen;
    EXPECT_EQ(ClickBoxes(options, {"autostart"}, true, &seen), QDialog::Accepted);
    EXPECT_EQ(seen[2], std::make_pair(false, false));
    EXPECT_EQ(options.autostart, 0);
    EXPECT_EQ(options.runKeyOpen, 0);
}

TEST(SettingsDialog, TemplateWidthsAndTextsPerLanguage) {
    struct Expect {
        Language language;
        const char* caption;
        int widths[3];
    };
    for (const Expect& e : {Expect{Language::English, "Settings", {149, 128, 136}},
                            Expect{Language::German, "Einstellungen", {173, 207, 158}}}) {
        ScopedLanguage scoped(e.language);
        TessarineOptions dialog;
        const DialogUnits units(&dialog);
        SCOPED_TRACE(e.caption);
        EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(e.caption));
        EXPECT_EQ(dialog.size(), units.Size(257, 125));
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
        for (int i = 0; i < 3; ++i) {
            const QRect box = Child<QCheckBox>(&dialog, kBoxes[i])->geometry();
            // The template width, or more where the text needs it, inside the group box.
            EXPECT_GE(box.width(), units.X(e.widths[i])) << kBoxes[i];
            EXPECT_LE(box.right(), units.X(250)) << kBoxes[i];
        }
        EXPECT_EQ(Child<QCheckBox>(&dialog, "quitComplete")->geometry().topLeft(), QPoint(units.X(13), units.Y(37)));
    }
    ScopedLanguage german(Language::German);
    TessarineOptions dialog;
    EXPECT_EQ(Child<QCheckBox>(&dialog, "autostart")->text(), QStringLiteral("zum Start von Windows alle Podcasts prüfen"));
}

} // namespace
