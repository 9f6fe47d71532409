// Entry point of the GUI test programs: a real QApplication on the offscreen
// platform, in English unless a test switches the language.
#include "core/util/Strings.h"
#include "support/TestSupport.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    (void)tessarine::test::TestCacheHome(); // set before anything runs
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    tessarine::SetLanguage(tessarine::Language::English);
    return RUN_ALL_TESTS();
}
