// Guards the twips-to-pixels conversion the layout relies on.
#include "grid/twips.h"

#include <gtest/gtest.h>

TEST(Twips, FifteenTwipsMakeOnePixelAt96Dpi)
{
    EXPECT_EQ(twips::toPixels(15, 96), 1);
    EXPECT_EQ(twips::toPixels(3000, 96), 200);
    EXPECT_EQ(twips::toPixels(1550, 96), 103); // 103.33
    EXPECT_EQ(twips::toPixels(1500, 144), 150);
    EXPECT_EQ(twips::fromPixels(200, 96), 3000);
}
