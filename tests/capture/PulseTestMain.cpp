#include <QCoreApplication>

#include <gtest/gtest.h>

// The recorder's notifications arrive through the Qt event loop of the
// thread that opened it, so the tests run inside an application object.
int main(int argc, char** argv) {
    QCoreApplication Application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
