#include "app/VireonApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests never need a screen; listing the tests at build time neither.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vireon::TVireonApplication App(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
