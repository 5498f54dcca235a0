// The program's icon is compiled in, every size a desktop asks for loads from it.
#include "app/appicon.h"

#include <gtest/gtest.h>

TEST(AppIcon, EverySizeLoadsFromTheResources)
{
    const QIcon icon = appicon::icon();
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage image = icon.pixmap(side).toImage();
        ASSERT_EQ(image.size(), QSize(side, side)) << side;
        EXPECT_GT(qAlpha(image.pixel(side / 2, side * 3 / 4)), 0) << "the drawer's front is opaque, " << side;
    }
}
