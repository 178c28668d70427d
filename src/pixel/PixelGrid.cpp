#include "pixel/PixelGrid.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace vorn {

struct PixelGrid::Data {
    QStringList rows;
    // Each row split into user-perceived characters, so an accented or combined character is one cell.
    std::vector<std::vector<QString>> cells;
    int width = 0;
};

namespace {

bool isPlainAscii(const QString& row)
{
    return std::all_of(row.begin(), row.end(), [](QChar c) { return c.unicode() < 0x80; });
}

std::vector<QString> splitCells(const QString& row)
{
    std::vector<QString> cells;
    if (isPlainAscii(row)) {
        // The built-in glyphs are ASCII: one character is one cell, no boundary search needed.
        cells.reserve(size_t(row.size()));
        for (QChar c : row)
            cells.emplace_back(c);
        return cells;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, row);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        cells.push_back(row.mid(start, end - start));
        start = end;
    }
    return cells;
}

} // namespace

PixelGrid::PixelGrid()
{
    // Default grids are common (views before they get a glyph); they all share one empty body.
    static const auto empty = std::make_shared<const Data>();
    m_data = empty;
}

PixelGrid::PixelGrid(QStringList rows)
{
    auto data = std::make_shared<Data>();
    data->cells.reserve(size_t(rows.size()));
    for (const QString& row : rows) {
        data->cells.push_back(splitCells(row));
        data->width = std::max(data->width, int(data->cells.back().size()));
    }
    data->rows = std::move(rows);
    m_data = std::move(data);
}

const QStringList& PixelGrid::rows() const
{
    return m_data->rows;
}

int PixelGrid::width() const
{
    return m_data->width;
}

int PixelGrid::height() const
{
    return int(m_data->rows.size());
}

std::vector<PixelRect> PixelGrid::runs(QStringView cell) const
{
    std::vector<PixelRect> result;
    for (int y = 0; y < int(m_data->cells.size()); ++y) {
        const std::vector<QString>& row = m_data->cells[size_t(y)];
        int x = 0;
        const int n = int(row.size());
        while (x < n) {
            if (row[size_t(x)] != cell) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < n && row[size_t(x)] == cell)
                ++x;
            result.push_back({start, y, x - start, 1});
        }
    }
    return result;
}

std::vector<PixelRect> PixelGrid::runs(QChar cell) const
{
    return runs(QStringView(&cell, 1));
}

bool operator==(const PixelGrid& a, const PixelGrid& b)
{
    // Width and height follow from the rows, so equal rows make equal grids.
    return a.m_data == b.m_data || a.m_data->rows == b.m_data->rows;
}

size_t qHash(const PixelGrid& grid, size_t seed) noexcept
{
    return qHash(grid.rows(), seed);
}

} // namespace vorn
