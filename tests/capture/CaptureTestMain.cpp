#include <QGuiApplication>

#include <gtest/gtest.h>

// The capture engine delivers notifications through the Qt event loop, and
// the wait tests feed it key and mouse events, so a GUI application object
// runs for the whole test program.
int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
