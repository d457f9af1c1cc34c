#include "framework/application/TApplication.h"

#include <QApplication>

#include <gtest/gtest.h>

// The framework and program tests share one application object. They run
// headless: the test presets choose Qt's offscreen platform.
int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Application->Shutdown();
    return result;
}
