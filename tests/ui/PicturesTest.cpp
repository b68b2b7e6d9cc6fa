#include "ui/Pictures.h"

#include <QColor>

#include <gtest/gtest.h>

namespace vireon {
namespace {

TEST(Pictures, DecodeToTheSizesOfTheirForms) {
    const QImage Logo = LogoPicture();
    const QImage Banner = BannerPicture();
    ASSERT_FALSE(Logo.isNull());
    ASSERT_FALSE(Banner.isNull());
    EXPECT_EQ(Logo.size(), QSize(85, 22));
    EXPECT_EQ(Banner.size(), QSize(380, 98));
    // Both sit on the displays' dark background.
    EXPECT_LT(Logo.pixelColor(0, 0).lightness(), 40);
    EXPECT_LT(Banner.pixelColor(379, 0).lightness(), 40);
}

} // namespace
} // namespace vireon
