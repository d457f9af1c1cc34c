#include "TApplication.h"

#include <QApplication>

#include <gtest/gtest.h>

// Every framework and program test runs headless, with one application object.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Application->Shutdown();
    return result;
}
