#include "app/VireonApplication.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Widget tests need no screen, and neither does listing them at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    vireon::TVireonApplication App(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
