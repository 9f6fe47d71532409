#include "platform/QtTranslations.h"

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
