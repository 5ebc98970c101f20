// main() for tests of widgets: a QApplication (offscreen under CTest)
// around the GoogleTest run.
#include "LeakCheck.h"

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char **argv)
{
    // Widget tests draw offscreen, also when CTest lists them at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::checkLeaksWhenTheApplicationEnds();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
