#include "pixel/Pixels.h"

using namespace Qt::StringLiterals;

// One grid row per line, as the glyphs are drawn.
// clang-format off

namespace vorn::Pixels {

// Each grid is made once, on first use; function-local statics make that safe from any thread.

const PixelGrid& box()
{
    static const PixelGrid grid({
        u".#######."_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u".#######."_s,
    });
    return grid;
}

const PixelGrid& boxDone()
{
    static const PixelGrid grid({
        u".YYYYYYY."_s,
        u"YYYYYYYYY"_s,
        u"YYYYYYYKY"_s,
        u"YYYYYYKYY"_s,
        u"YKYYYKYYY"_s,
        u"YYKYKYYYY"_s,
        u"YYYKYYYYY"_s,
        u"YYYYYYYYY"_s,
        u".YYYYYYY."_s,
    });
    return grid;
}

const PixelGrid& plus()
{
    static const PixelGrid grid({
        u"........."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"....#...."_s,
        u".#######."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"........."_s,
    });
    return grid;
}

const PixelGrid& focus()
{
    static const PixelGrid grid({
        u"#########"_s,
        u"#...#####"_s,
        u"#...#####"_s,
        u"#...#####"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#.......#"_s,
        u"#########"_s,
    });
    return grid;
}

const PixelGrid& expand()
{
    static const PixelGrid grid({
        u"...######"_s,
        u".......##"_s,
        u"......#.#"_s,
        u".....#..#"_s,
        u"....#...#"_s,
        u"...#....#"_s,
        u"..#......"_s,
        u".#......."_s,
        u"........."_s,
    });
    return grid;
}

const PixelGrid& pin()
{
    static const PixelGrid grid({
        u"..#####.."_s,
        u"...###..."_s,
        u"...###..."_s,
        u"..#####.."_s,
        u".#######."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"....#...."_s,
    });
    return grid;
}

const PixelGrid& pinOff()
{
    static const PixelGrid grid({
        u"..#####.."_s,
        u"...#.#..."_s,
        u"...#.#..."_s,
        u"..#...#.."_s,
        u".#######."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"....#...."_s,
        u"....#...."_s,
    });
    return grid;
}

const PixelGrid& markSmall()
{
    static const PixelGrid grid({
        u"..YYYY.."_s,
        u".YYYYYY."_s,
        u"YKKYYKKY"_s,
        u"YYYYYYYY"_s,
        u"YYYKKYYY"_s,
        u"YYYKKYYY"_s,
        u".YYKKYY."_s,
        u"..YYYY.."_s,
    });
    return grid;
}

const PixelGrid& markLarge()
{
    static const PixelGrid grid({
        u".....YYYYYY....."_s,
        u"...YYYYYYYYYY..."_s,
        u"..YYYYYYYYYYYY.."_s,
        u".YYYYYYYYYYYYYY."_s,
        u".YYYYYYYYYYYYYY."_s,
        u"YYYKKKKYYKKKKYYY"_s,
        u"YYKYYYYYYYYYYKYY"_s,
        u"YYYYYYYYYYYYYYYY"_s,
        u"YYYYYYYKKYYYYYYY"_s,
        u"YYYYYYKKKKYYYYYY"_s,
        u"YYYYYYKKKKYYYYYY"_s,
        u".YYYYYKKKKYYYYY."_s,
        u".YYYYYYKKYYYYYY."_s,
        u"..YYYYYYYYYYYY.."_s,
        u"...YYYYYYYYYY..."_s,
        u".....YYYYYY....."_s,
    });
    return grid;
}

const PixelGrid& z()
{
    static const PixelGrid grid({
        u"#####"_s,
        u"...#."_s,
        u"..#.."_s,
        u".#..."_s,
        u"#####"_s,
    });
    return grid;
}

namespace {

const QStringList& closedFace()
{
    static const QStringList rows{
        u".....YYYYYY....."_s,
        u"...YYYYYYYYYY..."_s,
        u"..YYYYYYYYYYYY.."_s,
        u".YYYYYYYYYYYYYY."_s,
        u".YYYYYYYYYYYYYY."_s,
        u"YYYKKKKYYKKKKYYY"_s,
        u"YYKYYYYYYYYYYKYY"_s,
        u"YYYYYYYYYYYYYYYY"_s,
        u"YYYYYYYYYYYYYYYY"_s,
        u"YYYYYYYYYYYYYYYY"_s,
        u"YYYYYYKKKKYYYYYY"_s,
        u".YYYYYYYYYYYYYY."_s,
        u".YYYYYYYYYYYYYY."_s,
        u"..YYYYYYYYYYYY.."_s,
        u"...YYYYYYYYYY..."_s,
        u".....YYYYYY....."_s,
    };
    return rows;
}

// The open frames differ from the closed face only around the mouth, rows 8 to 12.
PixelGrid withMouth(const QStringList& mouthRows)
{
    QStringList rows = closedFace();
    for (qsizetype i = 0; i < mouthRows.size(); ++i)
        rows[8 + i] = mouthRows[i];
    return PixelGrid(std::move(rows));
}

} // namespace

const std::array<PixelGrid, 4>& yawnFrames()
{
    static const std::array<PixelGrid, 4> frames{
        PixelGrid(closedFace()),
        withMouth({
            u"YYYYYYYYYYYYYYYY"_s,
            u"YYYYYYYKKYYYYYYY"_s,
            u"YYYYYYYKKYYYYYYY"_s,
            u".YYYYYYYYYYYYYY."_s,
            u".YYYYYYYYYYYYYY."_s,
        }),
        withMouth({
            u"YYYYYYYYYYYYYYYY"_s,
            u"YYYYYYYKKYYYYYYY"_s,
            u"YYYYYYKKKKYYYYYY"_s,
            u".YYYYYYKKYYYYYY."_s,
            u".YYYYYYYYYYYYYY."_s,
        }),
        withMouth({
            u"YYYYYYYKKYYYYYYY"_s,
            u"YYYYYYKKKKYYYYYY"_s,
            u"YYYYYYKKKKYYYYYY"_s,
            u".YYYYYKKKKYYYYY."_s,
            u".YYYYYYKKYYYYYY."_s,
        }),
    };
    return frames;
}

} // namespace vorn::Pixels

// clang-format on
