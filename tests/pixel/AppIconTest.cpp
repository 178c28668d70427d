#include "pixel/AppIcon.h"
#include "pixel/Pixels.h"
#include "pixel/Theme.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

QRgb expectedAt(QChar cell)
{
    if (cell == u'Y')
        return Color::yawn.rgba();
    if (cell == u'K')
        return Color::ink.rgba();
    return qRgba(0, 0, 0, 0);
}

// Every pixel of the icon, compared with the face cell it falls in: crisp blocks, the face inks, a
// transparent background, and an even margin where the size is no multiple of the grid.
TEST(AppIcon, everyPixelIsTheColourOfItsFaceCell)
{
    const struct {
        int size;
        int cell;
        int margin;
    } cases[] = {{16, 1, 0}, {48, 3, 0}, {256, 16, 0}, {20, 1, 2}, {70, 4, 3}};
    const QStringList rows = Pixels::markLarge().rows();
    for (const auto& c : cases) {
        const QImage icon = AppIcon::image(c.size).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(icon.size(), QSize(c.size, c.size));
        int wrong = 0;
        for (int y = 0; y < c.size; ++y) {
            for (int x = 0; x < c.size; ++x) {
                const int cx = (x - c.margin) / c.cell;
                const int cy = (y - c.margin) / c.cell;
                const bool inside = x >= c.margin && y >= c.margin && cx < 16 && cy < 16;
                const QRgb want = inside ? expectedAt(rows[cy][cx]) : qRgba(0, 0, 0, 0);
                if (icon.pixel(x, y) != want && ++wrong <= 3)
                    ADD_FAILURE() << "size " << c.size << " pixel " << x << "," << y << " is " << std::hex
                                  << icon.pixel(x, y) << ", wants " << want;
            }
        }
        EXPECT_EQ(wrong, 0) << "size " << c.size;
    }
}

// The SVG's rectangles, painted back into a grid of characters, give the face cell for cell, each cell
// covered once.
TEST(AppIcon, svgRectanglesRedrawTheFace)
{
    QStringList painted(16, QString(16, u'.'));
    QXmlStreamReader xml(AppIcon::svg());
    QString fill;
    int rects = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == u"svg") {
            EXPECT_EQ(a.value(QLatin1String("viewBox")), u"0 0 16 16");
        } else if (xml.name() == u"g") {
            fill = a.value(QLatin1String("fill")).toString();
        } else if (xml.name() == u"rect") {
            ++rects;
            const QChar ink = fill == Color::yawn.name() ? u'Y' : fill == Color::ink.name() ? u'K' : u'?';
            const int x = a.value(QLatin1String("x")).toInt();
            const int y = a.value(QLatin1String("y")).toInt();
            for (int i = 0; i < a.value(QLatin1String("width")).toInt(); ++i) {
                ASSERT_EQ(painted[y][x + i], u'.') << "cell " << x + i << "," << y << " drawn twice";
                painted[y][x + i] = ink;
            }
            EXPECT_EQ(a.value(QLatin1String("height")), u"1");
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(painted, Pixels::markLarge().rows());
    // Runs, not cells: far fewer rectangles than the face's 220-odd cells.
    EXPECT_EQ(rects, int(Pixels::markLarge().runs(u'Y').size() + Pixels::markLarge().runs(u'K').size()));
}

} // namespace
