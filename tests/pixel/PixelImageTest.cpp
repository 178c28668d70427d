#include "pixel/PixelImage.h"
#include "pixel/Pixels.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace Qt::StringLiterals;

namespace {

TEST(PixelImage, templateIsTheLargeFaceWithHoles)
{
    const QImage& image = PixelImage::menuBarTemplate();
    ASSERT_EQ(image.size(), QSize(16, 16));
    EXPECT_TRUE(image.hasAlphaChannel());
    const PixelGrid& face = Pixels::markLarge();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (face.rows()[y][x] == u'Y')
                EXPECT_EQ(c.rgba(), qRgba(0, 0, 0, 255)) << x << ", " << y;
            else // the eyes and mouth (K) and the corners (.) are see-through
                EXPECT_EQ(c.alpha(), 0) << x << ", " << y;
        }
    EXPECT_EQ(image.text(u"Description"_s), u"vorn todo"_s);
}

TEST(PixelImage, iconIsAMaskThatStaysSharpWhenLarger)
{
    const QIcon icon = PixelImage::menuBarIcon();
    EXPECT_TRUE(icon.isMask());
    const QImage big = icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(big.size(), QSize(32, 32));
    const QImage& base = PixelImage::menuBarTemplate();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(big.pixelColor(x, y).rgba(), base.pixelColor(x / 2, y / 2).rgba()) << x << ", " << y;
}

TEST(PixelImage, tintKeepsTheHoles)
{
    const QImage tinted = PixelImage::tinted(QColor(200, 10, 10)).convertToFormat(QImage::Format_ARGB32);
    const PixelGrid& face = Pixels::markLarge();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(tinted.pixelColor(x, y).rgba(),
                      face.rows()[y][x] == u'Y' ? qRgba(200, 10, 10, 255) : qRgba(0, 0, 0, 0))
                << x << ", " << y;
}

} // namespace
