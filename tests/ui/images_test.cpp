#include <gtest/gtest.h>

#include <QImage>

#include "ui/images.h"

namespace {

// A picture that is there draws something: not every pixel transparent.
bool drawsSomething(const QIcon& icon, int size)
{
    const QImage image = icon.pixmap(size, size).toImage();
    if (image.isNull() || image.width() != size)
        return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                return true;
    return false;
}

}  // namespace

TEST(Images, EveryActionAndTreePictureIsCompiledInAndOutOfRangeIsEmpty)
{
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(drawsSomething(tidebell::actionImage(i), 16)) << "action image " << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(drawsSomething(tidebell::treeImage(i), 16)) << "tree image " << i;
    EXPECT_TRUE(tidebell::actionImage(5).isNull());
    EXPECT_TRUE(tidebell::actionImage(-1).isNull());
    EXPECT_TRUE(tidebell::treeImage(6).isNull());
    // Open and closed folders differ, as do the drive kinds.
    EXPECT_NE(tidebell::treeImage(4).pixmap(16, 16).toImage(), tidebell::treeImage(5).pixmap(16, 16).toImage());
}

TEST(Images, TheProgramIconComesInEveryDesktopSize)
{
    const QIcon icon = tidebell::programIcon();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        EXPECT_TRUE(drawsSomething(icon, size)) << size;
    }
}
